// The main window as built: names, pictures, overlaps, frames, field boxes, mouse and Tab.
#include "mainwindow/frmTips.h"
#include "mainwindow/frmTips_ui.h"

#include <QtTest>
#include <QtWidgets>

class tst_Layout : public QObject {
    Q_OBJECT

private slots:
    void windowAsBuilt() {
        frmTips w;
        const QString names =
            "optWork(0) optWork(1) cmdUtility cmdBookmark cmdOpenNewDB cmdInviaTips chkTopMost cmdAbout "
            "cmdClose cmdSearch cmdSposta(0) cmdSposta(1) cmdSposta(2) cmdSposta(3) cmdTool(0) cmdTool(1) "
            "cmdTool(2) cmdTool(3) cmdTool(4) lblLabels(0) lblLabels(1) Label1 Label2 Label3 lblCategoria "
            "lblSearchDescription imgBookmark imgFreccia lblNumRecord Image1 Image2 Image4 Image5 txtdb(0) "
            "txtdb(1) txtdb(2) txtdb(3) txtdb(4) txtFindTxt cboTitoli cboInsertCategoria cboInsertKey "
            "cboSelectResearch cboGenericFind cboFindCategoria Line1 Line2 Line3 Line4 Shape1 Shape2 "
            "picSearch picWorkButton";
        for (const QString& name : names.split(QLatin1Char(' ')))
            QVERIFY2(w.findChildren<QWidget*>(name).size() == 1, qPrintable(name));
        QVERIFY(w.windowTitle() == "Quillnote" && !w.windowIcon().isNull() && w.optWork[0]->isChecked() &&
                w.minimumSize() == w.maximumSize() && !(w.windowFlags() & Qt::WindowMaximizeButtonHint));
        for (QAbstractButton* b : w.findChildren<QAbstractButton*>()) // a picture, named by its tooltip
            QVERIFY2(!b->icon().isNull() && !b->toolTip().isEmpty() && b->accessibleName() == b->toolTip(),
                     qPrintable(b->objectName()));
        // Typed text stays out of the lists, which the program completes itself.
        for (QComboBox* c : {w.cboInsertCategoria, w.cboInsertKey})
            QVERIFY(c->isEditable() && !c->completer() && c->insertPolicy() == QComboBox::NoInsert);

        // The title box covers its list but the button; frames whole and clear of cmdUtility.
        w.SetFieldLengths();
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        const QRect title = w.txtLine[0]->geometry(),
                    counterFrame = w.findChild<QWidget*>("Shape2")->geometry();
        QVERIFY(title.topLeft() == w.cboTitoli->pos() && w.cboTitoli->width() - title.width() == 18);
        QCOMPARE(w.childAt(title.right() + 9, title.center().y()), w.cboTitoli);
        QVERIFY(w.rect().contains(counterFrame) &&
                counterFrame.contains(w.lblNumRecord->geometry().center()));
        QVERIFY(w.findChild<QWidget*>("Shape1")->geometry().right() + 3 < w.cmdUtility->x());
        // Locked boxes take no typing, Ctrl+T included; unlocked ones as much as the field holds.
        for (int i = 0; i < frmTips::FieldCount; ++i) {
            w.LockFields(true);
            w.SetFieldText(i, "ab");
            QTest::keyClicks(w.FieldBox(i), "zz");
            QTest::keyClick(w.FieldBox(i), Qt::Key_T, Qt::ControlModifier);
            QCOMPARE(w.FieldText(i), "ab");
            w.LockFields(false);
            QTest::keyClicks(w.FieldBox(i), QString(100, QLatin1Char('x')));
            QCOMPARE(w.FieldText(i).size(), QList<int>({60, 102, 30, 20, 50}).at(i));
        }
        // Ctrl+T types five blanks at the caret of the procedure; a locked one still selects.
        w.SetFieldText(1, "ab");
        w.txtProcedura->moveCursor(QTextCursor::NextCharacter);
        QTest::keyClick(w.txtProcedura, Qt::Key_T, Qt::ControlModifier);
        w.LockFields(true);
        QTest::keyClick(w.txtProcedura, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(w.txtProcedura->textCursor().selectedText(), "a     b");
        // The right button selects the whole procedure, but keeps a selection; the left is the box's.
        auto click = [&](Qt::MouseButton button) {
            QTest::mouseClick(w.txtProcedura->viewport(), button, {}, QPoint(5, 5));
            return w.txtProcedura->textCursor().selectedText();
        };
        w.SetFieldText(1, "riga uno\nriga due");
        QCOMPARE(click(Qt::RightButton), "riga uno\u2029riga due");
        w.txtProcedura->moveCursor(QTextCursor::Start);
        w.txtProcedura->moveCursor(QTextCursor::NextWord, QTextCursor::KeepAnchor);
        QCOMPARE(click(Qt::RightButton), "riga ");
        QCOMPARE(click(Qt::LeftButton), "");
        // Editing: the lists lie over their boxes and take their clicks; Tab leads through to Salva.
        w.picSearch->hide();
        w.picWorkButton->show();
        for (auto [box, drop] : {std::pair<QWidget*, QWidget*>{w.txtLine[2], w.cboInsertCategoria},
                                 {w.txtLine[3], w.cboInsertKey}}) {
            drop->show();
            QWidget* at = w.childAt(box->geometry().center());
            QVERIFY(drop->pos() == box->pos() && (at == drop || at->parentWidget() == drop));
        }
        w.cmdTool[1]->setEnabled(true);
        w.LockFields(false);
        w.txtLine[0]->setFocus();
        for (QWidget* next :
             QWidgetList{w.txtProcedura, w.txtLine[4], w.cboInsertCategoria, w.cboInsertKey, w.cmdTool[1]}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget* focus = QApplication::focusWidget();
            QVERIFY2(focus == next || focus->parentWidget() == next, qPrintable(next->objectName()));
        }
    }
};

QTEST_MAIN(tst_Layout)
#include "tst_layout.moc"
