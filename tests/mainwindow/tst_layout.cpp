// The main window as built: controls and their names, the spots of the layout the behaviour
// depends on (overlaps, tab order, field sizes), the field boxes' keys and mouse, cursors,
// pictures, the arrow animation, drop-down height and closing.
#include "EngineFixture.h"
#include "mainwindow/frmTips.h"
#include "mainwindow/frmTips_ui.h"
#include "startup/GenericBas.h"

#include <QtTest>
#include <QtWidgets>

namespace {

QImage CursorPicture(const QWidget* w) {
    return w->cursor().pixmap().toImage();
}

// Position of a widget among its siblings: higher is drawn above.
qsizetype StackIndex(QWidget* w) {
    return w->parentWidget()->children().indexOf(w);
}

} // namespace

class tst_Layout : public QObject {
    Q_OBJECT

private slots:
    void controlsNamesAndPictures() {
        frmTips w;
        const QList<QPair<const char*, QStringList>> kinds = {
            {"QPushButton",
             {"optWork(0)", "optWork(1)", "cmdUtility", "cmdBookmark", "cmdOpenNewDB", "cmdInviaTips",
              "chkTopMost", "cmdAbout", "cmdClose", "cmdSearch", "cmdSposta(0)", "cmdSposta(1)",
              "cmdSposta(2)", "cmdSposta(3)", "cmdTool(0)", "cmdTool(1)", "cmdTool(2)", "cmdTool(3)",
              "cmdTool(4)"}},
            {"QLabel",
             {"lblLabels(0)", "lblLabels(1)", "Label1", "Label2", "Label3", "lblCategoria",
              "lblSearchDescription", "imgBookmark", "imgFreccia", "lblNumRecord", "Image1", "Image2",
              "Image4", "Image5"}},
            {"QLineEdit", {"txtdb(0)", "txtdb(2)", "txtdb(3)", "txtdb(4)", "txtFindTxt"}},
            {"QPlainTextEdit", {"txtdb(1)"}},
            {"QComboBox",
             {"cboTitoli", "cboInsertCategoria", "cboInsertKey", "cboSelectResearch", "cboGenericFind",
              "cboFindCategoria"}},
            {"QFrame", {"Line1", "Line2", "Line3", "Line4", "Shape1", "Shape2"}},
            {"QWidget", {"picSearch", "picWorkButton"}}};
        for (const auto& [kind, names] : kinds) {
            for (const QString& name : names) {
                const QList<QWidget*> found = w.findChildren<QWidget*>(name);
                QVERIFY2(found.size() == 1 && found.first()->inherits(kind), qPrintable(name));
            }
        }
        for (int i = 0; i < frmTips::FieldCount; ++i)
            QCOMPARE(w.FieldBox(i)->objectName(), QStringLiteral("txtdb(%1)").arg(i));
        // Typed text stays out of the lists, and the program completes it itself.
        for (QComboBox* c : {w.cboInsertCategoria, w.cboInsertKey})
            QVERIFY(c->isEditable() && !c->completer() && c->insertPolicy() == QComboBox::NoInsert);
        // Every control that takes input has a name; picture buttons use their tooltip.
        for (QWidget* c : w.findChildren<QWidget*>()) {
            if (auto* b = qobject_cast<QAbstractButton*>(c)) {
                QVERIFY2(!b->icon().isNull() && !b->toolTip().isEmpty(), qPrintable(c->objectName()));
                QCOMPARE(b->accessibleName(), b->toolTip());
            } else if (c->inherits("QComboBox") || c->inherits("QPlainTextEdit") ||
                       (c->inherits("QLineEdit") && !c->parentWidget()->inherits("QComboBox"))) {
                QVERIFY2(!c->accessibleName().isEmpty(), qPrintable(c->objectName()));
            }
        }
        // Eight different arrow frames.
        QList<QImage> frames;
        for (int i = 1; i <= 8; ++i) {
            frames << qn::ui::ArrowFrame(i, QSize(31, 20)).toImage();
            QVERIFY(!frames.last().isNull() && frames.indexOf(frames.last()) == i - 1);
        }
    }

    void windowAndStartState() {
        frmTips w;
        QCOMPARE(w.windowTitle(), "Quillnote");
        QVERIFY(w.minimumSize() == QSize(463, 469) && w.maximumSize() == w.minimumSize());
        QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint) && !w.windowIcon().isNull());
        QVERIFY((w.geometry().center() - w.screen()->availableGeometry().center()).manhattanLength() <= 2);
        QCOMPARE(w.txtProcedura->geometry(), QRect(105 / 15, 1560 / 15, 6750 / 15, 3135 / 15));
        QVERIFY(w.optWork[0]->isChecked() && w.optWork[0]->group() == w.optWork[1]->group());
        QVERIFY(!w.cboTitoli->isEnabled() && w.picSearch->isVisibleTo(&w) &&
                !w.picWorkButton->isVisibleTo(&w));
        QVERIFY(!w.imgBookmark->isVisibleTo(&w) && !w.cboInsertCategoria->isVisibleTo(&w));
        // Modifica (index 4) stands left of Annulla (index 3); Salva and Annulla start disabled.
        QList<QPushButton*> byLeft(w.cmdTool.begin(), w.cmdTool.end());
        std::sort(byLeft.begin(), byLeft.end(), [](auto* a, auto* b) { return a->x() < b->x(); });
        QStringList tools;
        for (QPushButton* b : byLeft)
            tools << QStringLiteral("%1 %2 %3 %4")
                         .arg(b->objectName(), b->text(), b->toolTip())
                         .arg(b->isEnabled());
        QCOMPARE(
            tools,
            QStringList({"cmdTool(0) &Nuovo Nuovo record 1", "cmdTool(1) &Salva Salva record e/o modifiche 0",
                         "cmdTool(2) &Elimina Elimina record 1", "cmdTool(4) &Modifica Modifica record 1",
                         "cmdTool(3) &Annulla Annulla operazione 0"}));
    }

    void overlapsKeepTheRightControlOnTop() {
        frmTips w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(w.cboInsertCategoria->pos() == w.txtLine[2]->pos() &&
                w.cboInsertKey->pos() == w.txtLine[3]->pos());
        QVERIFY(StackIndex(w.cboInsertCategoria) > StackIndex(w.txtLine[2]));
        QVERIFY(StackIndex(w.cboInsertKey) > StackIndex(w.txtLine[3]));
        QCOMPARE(w.picSearch->geometry(), w.picWorkButton->geometry());
        // The title box covers the title list but for the list's drop-down button.
        QCOMPARE(w.txtLine[0]->pos(), w.cboTitoli->pos());
        QCOMPARE(w.cboTitoli->width() - w.txtLine[0]->width(), 18);
        const QRect title = w.txtLine[0]->geometry();
        QCOMPARE(w.childAt(title.center()), w.txtLine[0]);
        QCOMPARE(w.childAt(title.right() + 9, title.center().y()), w.cboTitoli);
        // A shown list takes the clicks meant for the box under it.
        w.cboInsertCategoria->show();
        QWidget* atCategory = w.childAt(w.txtLine[2]->geometry().center());
        QVERIFY(atCategory == w.cboInsertCategoria || atCategory->parentWidget() == w.cboInsertCategoria);
    }

    void tabLeadsThroughTheRecordToSalva() {
        frmTips w;
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        // A record being edited: command panel, lists shown, boxes unlocked, Salva enabled.
        w.picSearch->hide();
        for (QWidget* shown : QWidgetList{w.picWorkButton, w.cboInsertCategoria, w.cboInsertKey})
            shown->show();
        w.cmdTool[1]->setEnabled(true);
        w.LockFields(false);
        w.txtLine[0]->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), w.txtLine[0]);
        for (QWidget* next :
             QWidgetList{w.txtProcedura, w.txtLine[4], w.cboInsertCategoria, w.cboInsertKey, w.cmdTool[1]}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget* focus = QApplication::focusWidget();
            QVERIFY2(focus == next || (focus && focus->parentWidget() == next),
                     qPrintable(next->objectName()));
        }
        // The rest of the chain keeps the designed order.
        QList<QWidget*> chain;
        for (QWidget* f = w.cmdTool[1]->nextInFocusChain(); f != w.cmdTool[1]; f = f->nextInFocusChain())
            chain << f;
        qsizetype at = -1;
        for (QWidget* next : {w.cmdTool[3], w.cmdTool[4], w.cmdTool[2], static_cast<QPushButton*>(w.cmdClose),
                              w.cmdSposta[3], w.cmdSposta[0]}) {
            QVERIFY2(chain.indexOf(next) > at, qPrintable(next->objectName()));
            at = chain.indexOf(next);
        }
    }

    void fieldBoxesTypingAndCtrlT() {
        frmTips w;
        w.SetFieldLengths();
        // Locked boxes take no typing, Ctrl+T included, but still select.
        w.LockFields(true);
        for (int i = 0; i < frmTips::FieldCount; ++i) {
            w.SetFieldText(i, "ab");
            QTest::keyClicks(w.FieldBox(i), "zz");
            QTest::keyClick(w.FieldBox(i), Qt::Key_T, Qt::ControlModifier);
            QCOMPARE(w.FieldText(i), "ab");
        }
        QTest::keyClick(w.txtProcedura, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(w.txtProcedura->textCursor().selectedText(), "ab");
        // Unlocked, each box takes as many characters as its field holds (the note field 50).
        w.LockFields(false);
        const int sizes[frmTips::FieldCount] = {60, 100, 30, 20, 50};
        for (int i = 0; i < frmTips::FieldCount; ++i) {
            w.SetFieldText(i, {});
            QTest::keyClicks(w.FieldBox(i), QString(100, QLatin1Char('x')));
            QCOMPARE(w.FieldText(i).size(), sizes[i]);
        }
        // Ctrl+T types five blanks at the caret of the procedure only; Ctrl+Shift+T is another key.
        w.SetFieldText(0, "t");
        w.SetFieldText(1, "ab");
        w.txtProcedura->moveCursor(QTextCursor::NextCharacter);
        QTest::keyClick(w.txtProcedura, Qt::Key_T, Qt::ControlModifier);
        QTest::keyClick(w.txtProcedura, Qt::Key_T, Qt::ControlModifier | Qt::ShiftModifier);
        QTest::keyClick(w.txtLine[0], Qt::Key_T, Qt::ControlModifier);
        QCOMPARE(w.FieldText(0) + "|" + w.FieldText(1), "t|a     b");
        QCOMPARE(w.txtProcedura->textCursor().position(), 6);
    }

    void clicksSelectTheWholeText() {
        QTemporaryDir dir;
        auto forget = qScopeGuard([] {
            GenericBas::TipsRecordset.reset();
            GenericBas::TipsDatabase.reset();
        });
        GenericBas::TipsDatabase = EngineFixture::createTipsDatabase(dir.filePath("edit.mdb"));
        GenericBas::TipsRecordset = GenericBas::TipsDatabase->OpenRecordset("TipsTable", qn::dbOpenDynaset);
        frmTips w;
        w.txtFindTxt->show();
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        auto click = [&](Qt::MouseButton button) {
            QTest::mouseClick(w.txtProcedura->viewport(), button, {}, QPoint(5, 5));
            return w.txtProcedura->textCursor().selectedText();
        };
        w.SetFieldText(1, "riga uno\nriga due");
        QCOMPARE(click(Qt::RightButton), "riga uno\u2029riga due");
        // A selection already there is kept; the left button is left to the box.
        QTextCursor c(w.txtProcedura->document());
        c.setPosition(4, QTextCursor::KeepAnchor);
        w.txtProcedura->setTextCursor(c);
        QCOMPARE(click(Qt::RightButton), "riga");
        QCOMPARE(click(Qt::LeftButton), "");
        // So is a right-click while a tip is being added.
        GenericBas::TipsRecordset->AddNew();
        QCOMPARE(click(Qt::RightButton), "");
        GenericBas::TipsRecordset->CancelUpdate();
        QCOMPARE(click(Qt::RightButton), "riga uno\u2029riga due");
        // The search box selects its whole text when it gets the focus.
        w.txtFindTxt->setText("parola");
        w.txtFindTxt->setCursorPosition(2);
        QTest::mouseClick(w.txtFindTxt, Qt::LeftButton, {}, QPoint(3, 3));
        QTRY_COMPARE(w.txtFindTxt->selectedText(), "parola");
    }

    void cursorsComeFromThePictures() {
        frmTips w;
        w.SetMousePointers();
        const QImage button = CursorPicture(w.cmdClose), list = CursorPicture(w.cboTitoli);
        QVERIFY(!button.isNull() && !list.isNull() && button != list);
        for (QAbstractButton* b : w.findChildren<QAbstractButton*>())
            QCOMPARE(CursorPicture(b), button);
        for (QComboBox* c : w.findChildren<QComboBox*>()) {
            QCOMPARE(CursorPicture(c), list);
            if (c->lineEdit()) // the text part of a free-text list too
                QCOMPARE(CursorPicture(c->lineEdit()), list);
        }
        QVERIFY(w.txtLine[0]->cursor().shape() == Qt::IBeamCursor &&
                w.Label3->cursor().shape() == Qt::ArrowCursor);
        // The counter keeps its own cursor.
        QVERIFY(w.lblNumRecord->cursor().shape() == Qt::BitmapCursor &&
                CursorPicture(w.lblNumRecord) != button);
    }

    void arrowAnimationRunsSixteenFramesThenRests() {
        frmTips w;
        QList<int> frames;
        QTimer probe;
        connect(&probe, &QTimer::timeout, [&] {
            const int f = w.imgFreccia->property("arrowFrame").toInt();
            if (frames.isEmpty() || frames.last() != f) frames << f;
        });
        probe.start(0);
        w.AnimateArrow();
        frames << w.imgFreccia->property("arrowFrame").toInt();
        QCOMPARE(frames, QList<int>({1, 2, 3, 4, 5, 6, 7, 8, 1, 2, 3, 4, 5, 6, 7, 8, 1}));
        QCOMPARE(w.imgFreccia->pixmap().toImage(), qn::ui::ArrowFrame(1, w.imgFreccia->size()).toImage());
        w.imgFreccia->setProperty("arrowFrame", 0);
        w.SuppressArrowAnimation = true;
        w.AnimateArrow();
        QCOMPARE(w.imgFreccia->property("arrowFrame").toInt(), 0);
    }

    void dropDownHeightLimitsTheOpenList() {
        frmTips w;
        for (int i = 0; i < 200; ++i)
            w.cboTitoli->addItem(QStringLiteral("Titolo %1").arg(i));
        const int row = w.cboTitoli->view()->sizeHintForRow(0), height = w.picSearch->y() - w.cboTitoli->y();
        w.SetDropDownHeight(w.cboTitoli, height);
        const int rows = w.cboTitoli->maxVisibleItems();
        QVERIFY(rows >= 1 && w.cboTitoli->height() + rows * row <= height);
        QVERIFY(w.cboTitoli->height() + (rows + 1) * row > height);
    }

    void escAndCmdCloseUnloadOnce() {
        const QString message = GenericBas::TempFolder() + "email.eml";
        for (bool esc : {true, false}) {
            frmTips w;
            w.show();
            QVERIFY(QTest::qWaitForWindowActive(&w));
            w.LockFields(false); // also while a record is being edited
            w.txtLine[0]->setFocus();
            QVERIFY(QFile(message).open(QIODevice::WriteOnly));
            esc ? QTest::keyClick(w.txtLine[0], Qt::Key_Escape)
                : QTest::mouseClick(w.cmdClose, Qt::LeftButton);
            QVERIFY(!w.isVisible() && !QFile::exists(message)); // the unload removed the message file
            // A second close does not unload again.
            QVERIFY(QFile(message).open(QIODevice::WriteOnly));
            w.close();
            QVERIFY(QFile::remove(message));
        }
    }
};

QTEST_MAIN(tst_Layout)
#include "tst_layout.moc"
