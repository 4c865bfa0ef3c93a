// The search panel: search types, the category / key / bookmark lists, the word search and the
// title-list jump. Every value placed between quotes in SQL goes through QuoteSql.
#include "mainwindow/StatementTrap.h"
#include "mainwindow/frmTips.h"
#include "startup/MessageBox.h"
#include "tipsdb/TipsSql.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <optional>

using qn::ui::Skip;
using qn::ui::View;
using tipsdb::DefaultView;

namespace {

const QString AllCategories = QStringLiteral("[Tutte le categorie]");

// Shows the value control of a search type and hides the others; the search button goes with
// the word box.
void showValueControl(frmTips& w, QWidget* control, const QString& prompt) {
    for (QWidget* c : std::initializer_list<QWidget*>{w.cboFindCategoria, w.cboGenericFind, w.txtFindTxt})
        c->setVisible(c == control);
    w.cmdSearch->setVisible(control == w.txtFindTxt);
    w.lblSearchDescription->setText(prompt);
    w.repaint();
}

void setItems(QComboBox* list, const QStringList& items) {
    const QSignalBlocker block(list);
    list->addItems(items);
}

} // namespace

void frmTips::InitSearchPanel() {
    SearchFields = {QStringLiteral("Categoria"), QStringLiteral("ChiaveRicerca"), QStringLiteral("Procedura"),
                    QStringLiteral("Titolo"), QStringLiteral("Bookmark")};
    {
        const QSignalBlocker block(cboSelectResearch);
        cboSelectResearch->clear();
        for (const QString& name : SearchFields)
            cboSelectResearch->addItem(name);
    }
    // OpenDatabase has filled the category list already: choosing the type must not refill it.
    SuppressListEvents = true;
    SetSelectResearchText(SearchFields[0]);
    SuppressListEvents = false;
    cmdSearch->hide();
    txtFindTxt->hide();
    cboFindCategoria->show();
    showArrowFrame(1, imgFreccia->size());
    // The title list opens down to the top of the search panel.
    const int top = cboTitoli->mapTo(this, QPoint(0, 0)).y();
    const int bottom = picSearch->mapTo(this, QPoint(0, 0)).y();
    SetDropDownHeight(cboTitoli, bottom - top);
}

void frmTips::SetSelectResearchText(const QString& text) {
    const int index = cboSelectResearch->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0) return;
    cboSelectResearch->setCurrentIndex(index);
    cboSelectResearch_Click();
}

void frmTips::cboSelectResearch_Click() {
    Skip([&] {
        txtFindTxt->clear();
        QCoreApplication::processEvents();
    });
    if (qn::ui::ViewCount() == 0) return;
    const QString type = cboSelectResearch->currentText();
    if (type == SearchFields[0]) {
        Skip([&] {
            showValueControl(*this, cboFindCategoria, QStringLiteral("Seleziona la categoria da ricercare"));
        });
        if (!SuppressListEvents) FillCategoryList(false);
    } else if (type == SearchFields[1]) {
        Skip([&] {
            showValueControl(*this, cboGenericFind, QStringLiteral("Seleziona la chiave da ricercare"));
        });
        SuppressListEvents = true;
        FillGenericFindList(0);
        SuppressListEvents = false;
    } else if (type == SearchFields[2] || type == SearchFields[3]) {
        Skip([&] { showValueControl(*this, txtFindTxt, QStringLiteral("Digita la parola da ricercare")); });
        LoadView(DefaultView());
    } else if (type == SearchFields[4]) {
        Skip([&] {
            showValueControl(*this, cboGenericFind, QStringLiteral("Seleziona il bookmark da visualizzare"));
        });
        SuppressListEvents = true;
        FillGenericFindList(1);
        SuppressListEvents = false;
    }
    Skip([&] {
        QCoreApplication::processEvents();
        AnimateArrow();
    });
}

void frmTips::FillCategoryList(bool keep) {
    Skip([&] {
        const QSignalBlocker block(cboFindCategoria);
        cboFindCategoria->clear();
    });
    if (qn::ui::ViewCount() == 0) return;
    std::optional<qlonglong> key;
    if (keep) {
        Skip([&] {
            const QVariant value = View().Fields(QStringLiteral("KeyPrimary")).Value();
            if (value.isValid()) key = value.toLongLong();
        });
    }
    Skip([&] {
        setItems(cboFindCategoria, QStringList{AllCategories} +
                                       qn::ui::ListValues(tipsdb::DistinctValues(QStringLiteral("Categoria")),
                                                          QStringLiteral("Categoria"), false));
        cboFindCategoria->setCurrentIndex(0);
    });
    cboFindCategoria_Click();
    // Back to the tip shown before the list was refilled.
    if (key) {
        Skip([&] { View().FindLast(tipsdb::KeyCriterion(*key)); });
        ShowCurrentRecord();
    }
}

void frmTips::cboFindCategoria_Click() {
    Skip([&] {
        const QString category = cboFindCategoria->currentText();
        LoadView(category == AllCategories ? DefaultView()
                                           : tipsdb::EqualsFilter(QStringLiteral("Categoria"), category));
    });
}

void frmTips::FillGenericFindList(int kind) {
    Skip([&] {
        const QSignalBlocker block(cboGenericFind);
        cboGenericFind->clear();
    });
    if (qn::ui::ViewCount() < 1) return;
    LoadView(DefaultView());
    const bool keys = kind == 0;
    Skip([&] {
        setItems(cboGenericFind,
                 keys ? qn::ui::ListValues(tipsdb::DistinctValues(QStringLiteral("ChiaveRicerca")),
                                           QStringLiteral("ChiaveRicerca"), true)
                      : qn::ui::ListValues(tipsdb::BookmarkedTips(), QStringLiteral("Titolo"), true));
        // Nothing is picked until the user picks it.
        const QSignalBlocker block(cboGenericFind);
        cboGenericFind->setCurrentIndex(-1);
    });
    // A list left empty by damage in the archive is no answer: the damage is said instead.
    if (cboGenericFind->count() == 0 && !ReportDamage())
        qn::ui::ShowMessage(this, QStringLiteral("Nessun record trovato"), QMessageBox::Information,
                            QMessageBox::Ok, QMessageBox::Ok);
}

void frmTips::cboGenericFind_Click() {
    try {
        const QString value = cboGenericFind->currentText();
        if (cboGenericFind->count() == 0 || value.isEmpty()) return;
        const QString type = cboSelectResearch->currentText();
        if (type == QLatin1String("Bookmark")) {
            const QByteArray before = View().Bookmark();
            View().FindFirst(tipsdb::TitleCriterion(value));
            if (View().NoMatch()) {
                qn::ui::ShowMessage(this, QStringLiteral("Segnalibro non trovato."), QMessageBox::Information,
                                    QMessageBox::Ok, QMessageBox::Ok);
                View().SetBookmark(before);
            }
            ShowCurrentRecord();
        } else if (type == QLatin1String("ChiaveRicerca")) {
            LoadView(tipsdb::EqualsFilter(QStringLiteral("ChiaveRicerca"), value));
        }
    } catch (const std::exception& e) {
        const auto [number, description] = qn::ui::ErrorOf(e);
        ShowErrorNumber(number, description);
    }
}

void frmTips::cmdSearch_Click() {
    if (!txtFindTxt->isVisibleTo(txtFindTxt->parentWidget())) return;
    if (txtFindTxt->text().isEmpty()) {
        qn::ui::ShowMessage(this, QStringLiteral("Digitare la stringa da ricercare."), QMessageBox::Warning,
                            QMessageBox::Ok, QMessageBox::Ok);
        txtFindTxt->setFocus();
        return;
    }
    // The word is a Like pattern as typed: its wildcards act as wildcards.
    const QString field = cboSelectResearch->currentText().trimmed();
    Skip([&] { LoadView(tipsdb::WordFilter(field, txtFindTxt->text().trimmed())); });
    Skip([&] { HighlightSearchText(); });
}

void frmTips::cboTitoli_Click() {
    if (SuppressListEvents) return;
    try {
        // Among equal titles the first in view order is reached.
        View().FindFirst(tipsdb::TitleCriterion(cboTitoli->currentText()));
        ShowCurrentRecord();
        FieldBox(1)->setFocus();
    } catch (const std::exception& e) {
        const auto [number, description] = qn::ui::ErrorOf(e);
        ShowErrorNumber(number, description);
    }
}

QStringList qn::ui::ListValues(const QString& sql, const QString& field, bool skipEmpty) {
    QStringList values;
    std::unique_ptr<qn::Recordset> rs;
    Skip([&] { rs = qn::ui::TipsDb().OpenRecordset(sql, qn::dbOpenDynaset); });
    if (!rs) return values;
    long count = 0;
    Skip([&] { rs->MoveLast(); });
    Skip([&] { count = rs->RecordCount(); });
    Skip([&] { rs->MoveFirst(); });
    for (long i = 0; i < count; ++i) {
        Skip([&] {
            const QVariant value = rs->Fields(field).Value();
            if (value.isValid() && !(skipEmpty && value.toString().isEmpty()))
                values.append(value.toString());
        });
        Skip([&] { rs->MoveNext(); });
    }
    Skip([&] { rs->Close(); });
    return values;
}
