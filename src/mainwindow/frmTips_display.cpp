// Showing the current tip, the record counter, moving through the view and selecting a found
// word in the shown tip.
#include "mainwindow/StatementTrap.h"
#include "mainwindow/frmTips.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>

using qn::ui::Skip;
using qn::ui::View;

namespace {

// Field names in the order of the field boxes txtdb(0)..txtdb(4).
const char* const BoxFields[frmTips::FieldCount] = {"Titolo", "Procedura", "Categoria", "ChiaveRicerca",
                                                    "Note"};

QString counterText(long position, long count) {
    return QString::number(position) + QStringLiteral("  di  ") + QString::number(count);
}

// Shows `title` in the title list. The list holds the view's titles in view order, so the entry
// at the record's position is normally the right one; that also picks the right entry among
// equal titles. When it does not match (a Null title was left out, or the list holds the whole
// table) the first entry with that text is taken.
void showTitleInList(QComboBox* list, const QString& title, long position) {
    const QSignalBlocker block(list);
    int index = -1;
    if (position >= 0 && position < list->count() && list->itemText(static_cast<int>(position)) == title)
        index = static_cast<int>(position);
    else
        index = list->findText(title, Qt::MatchExactly | Qt::MatchCaseSensitive);
    // No entry holds the title (a Null one): a pick-only list then shows no title either.
    if (index >= 0 || !list->isEditable()) list->setCurrentIndex(index);
    if (list->isEditable()) list->setEditText(title);
}

} // namespace

void frmTips::ClearFields() {
    for (int i = 0; i < FieldCount; ++i)
        SetFieldText(i, QString());
    imgBookmark->hide();
}

void frmTips::ShowCurrentRecord() {
    Skip([&] { ClearFields(); });
    if (qn::ui::ViewCount() == 0) {
        lblNumRecord->setText(counterText(0, 0));
        return;
    }
    // A Null field has no text: its box stays empty.
    for (int i = 0; i < FieldCount; ++i) {
        Skip([&] {
            const QVariant value = View().Fields(QString::fromLatin1(BoxFields[i])).Value();
            if (value.isValid()) SetFieldText(i, value.toString());
        });
    }
    Skip([&] {
        const QVariant mark = View().Fields(QStringLiteral("Bookmark")).Value();
        if (mark.isValid() && mark.toLongLong() == 1) imgBookmark->show();
    });
    long position = -1;
    Skip([&] { position = View().AbsolutePosition(); });
    Skip([&] { showTitleInList(cboTitoli, FieldText(0), position); });
    Skip([&] { lblNumRecord->setText(counterText(position + 1, View().RecordCount())); });
}

void frmTips::cmdSposta_Click(int index) {
    if (qn::ui::ViewCount() < 1) return;
    bool atEnd = false; // already on the first/last record: beep and stay
    switch (index) {
    case 0:
        Skip([&] { atEnd = View().AbsolutePosition() == 0; });
        if (!atEnd) Skip([&] { View().MoveFirst(); });
        break;
    case 1:
        Skip([&] {
            if (!View().IsBOF()) View().MovePrevious();
        });
        break;
    case 2:
        Skip([&] {
            if (!View().IsEOF()) View().MoveNext();
        });
        break;
    case 3:
        Skip([&] { atEnd = View().AbsolutePosition() == View().RecordCount() - 1; });
        if (!atEnd) Skip([&] { View().MoveLast(); });
        break;
    default:
        return;
    }
    if (atEnd) {
        QApplication::beep();
        return;
    }
    bool eof = false;
    bool bof = false;
    Skip([&] { eof = View().IsEOF(); });
    Skip([&] { bof = View().IsBOF(); });
    // A move past either end is undone; the window still shows that end's record.
    if (eof) {
        QApplication::beep();
        Skip([&] { View().MovePrevious(); });
    } else if (bof) {
        QApplication::beep();
        Skip([&] { View().MoveNext(); });
    } else {
        ShowCurrentRecord();
        if (cmdSearch->isVisibleTo(cmdSearch->parentWidget()) && !txtFindTxt->text().isEmpty())
            HighlightSearchText();
    }
}

void frmTips::HighlightSearchText() {
    const QString type = cboSelectResearch->currentText();
    QWidget* target = nullptr;
    if (type == QLatin1String("Procedura"))
        target = FieldBox(1);
    else if (type == QLatin1String("Titolo"))
        target = FieldBox(0);
    if (target) HighlightText(target, txtFindTxt->text().trimmed());
}

void frmTips::HighlightText(QWidget* box, const QString& text) {
    if (auto* line = qobject_cast<QLineEdit*>(box)) {
        const int p = line->text().indexOf(text, 0, Qt::CaseInsensitive);
        if (p < 0) return;
        line->setCursorPosition(line->text().size());
        line->setSelection(p, static_cast<int>(text.size()));
        line->setFocus();
    } else if (auto* edit = qobject_cast<QPlainTextEdit*>(box)) {
        // Positions of the plain text match the document's positions one to one.
        const int p = edit->toPlainText().indexOf(text, 0, Qt::CaseInsensitive);
        if (p < 0) return;
        // From the end back to the match: the box scrolls just far enough to show it.
        QTextCursor cursor = edit->textCursor();
        cursor.movePosition(QTextCursor::End);
        edit->setTextCursor(cursor);
        edit->ensureCursorVisible();
        cursor.setPosition(p);
        cursor.setPosition(p + static_cast<int>(text.size()), QTextCursor::KeepAnchor);
        edit->setTextCursor(cursor);
        edit->ensureCursorVisible();
        edit->setFocus();
    }
}
