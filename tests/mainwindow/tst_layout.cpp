// The main window as built: its controls and names, pictures, cursors and the arrow; the
// overlaps and the tab order editing depends on; the field boxes' limits, keys and mouse.
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
            "optWork(0) optWork(1) cmdUtility cmdBookmark cmdOpenNewDB cmdInviaTips chkTopMost "
            "cmdAbout cmdClose cmdSearch cmdSposta(0) cmdSposta(1) cmdSposta(2) cmdSposta(3) "
            "cmdTool(0) cmdTool(1) cmdTool(2) cmdTool(3) cmdTool(4) lblLabels(0) lblLabels(1) "
            "Label1 Label2 Label3 lblCategoria lblSearchDescription imgBookmark imgFreccia "
            "lblNumRecord Image1 Image2 Image4 Image5 txtdb(0) txtdb(1) txtdb(2) txtdb(3) "
            "txtdb(4) txtFindTxt cboTitoli cboInsertCategoria cboInsertKey cboSelectResearch "
            "cboGenericFind cboFindCategoria Line1 Line2 Line3 Line4 Shape1 Shape2 picSearch "
            "picWorkButton";
        for (const QString& name : names.split(QLatin1Char(' ')))
            QVERIFY2(w.findChildren<QWidget*>(name).size() == 1, qPrintable(name));
        QVERIFY(w.windowTitle() == "Quillnote" && !w.windowIcon().isNull());
        QVERIFY(w.minimumSize() == QSize(463, 469) && w.maximumSize() == w.minimumSize());
        QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint) && w.optWork[0]->isChecked());
        // Typed text stays out of the lists, and the program completes it itself.
        for (QComboBox* c : {w.cboInsertCategoria, w.cboInsertKey})
            QVERIFY(c->isEditable() && !c->completer() && c->insertPolicy() == QComboBox::NoInsert);
        // Every control that takes input has a name; picture buttons show a picture and use their tooltip.
        for (QWidget* c : w.findChildren<QWidget*>()) {
            auto* b = qobject_cast<QAbstractButton*>(c);
            const bool line = c->inherits("QLineEdit") && !c->parentWidget()->inherits("QComboBox");
            const bool input = b || line || c->inherits("QComboBox") || c->inherits("QPlainTextEdit");
            QVERIFY2((!input || !c->accessibleName().isEmpty()) &&
                         (!b || (!b->icon().isNull() && b->accessibleName() == b->toolTip())),
                     qPrintable(c->objectName()));
        }
        // Cursors: one picture for buttons, one for lists (over their text part too), the counter its own.
        w.SetMousePointers();
        const auto pic = [](const QWidget* c) { return c->cursor().pixmap().toImage(); };
        const QImage button = pic(w.cmdClose), list = pic(w.cboTitoli), counter = pic(w.lblNumRecord);
        QVERIFY(!button.isNull() && !list.isNull() && !counter.isNull() && button != list &&
                counter != button);
        for (QAbstractButton* b : w.findChildren<QAbstractButton*>())
            QCOMPARE(pic(b), button);
        for (QComboBox* c : w.findChildren<QComboBox*>())
            QVERIFY(pic(c) == list && (!c->lineEdit() || pic(c->lineEdit()) == list));
        QCOMPARE(w.Label3->cursor().shape(), Qt::ArrowCursor);
    }

    void arrowRunsSixteenFramesThenRests() {
        for (int i = 1; i < 8; ++i) // the arrow moves from frame to frame
            QVERIFY(qn::ui::ArrowFrame(i, {31, 20}).toImage() !=
                    qn::ui::ArrowFrame(i + 1, {31, 20}).toImage());
        frmTips w;
        QList<int> frames;
        QTimer probe;
        connect(&probe, &QTimer::timeout, [&] {
            const int f = w.imgFreccia->property("arrowFrame").toInt();
            if (frames.isEmpty() || frames.last() != f) frames << f;
        });
        probe.start(0);
        w.AnimateArrow();
        QCOMPARE(frames << w.imgFreccia->property("arrowFrame").toInt(),
                 QList<int>({1, 2, 3, 4, 5, 6, 7, 8, 1, 2, 3, 4, 5, 6, 7, 8, 1}));
    }

    void overlapsAndTabWhileEditing() {
        frmTips w;
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        // The title box covers the title list but for the list's drop-down button.
        const QRect title = w.txtLine[0]->geometry();
        QVERIFY(title.topLeft() == w.cboTitoli->pos() && w.cboTitoli->width() - title.width() == 18);
        QCOMPARE(w.childAt(title.right() + 9, title.center().y()), w.cboTitoli);
        // The counter's frame lies whole inside the window around the counter's text; the frame of
        // the mode buttons keeps clear of cmdUtility.
        const QRect counterFrame = w.findChild<QWidget*>("Shape2")->geometry();
        QVERIFY(w.rect().contains(counterFrame) && counterFrame.contains(w.lblNumRecord->geometry().center()));
        QVERIFY(w.findChild<QWidget*>("Shape1")->geometry().right() + 3 < w.cmdUtility->x());
        // A record being edited: the lists lie exactly over their boxes and take their clicks.
        w.picSearch->hide();
        w.picWorkButton->show();
        for (auto [box, list] : {std::pair<QWidget*, QWidget*>{w.txtLine[2], w.cboInsertCategoria},
                                 {w.txtLine[3], w.cboInsertKey}}) {
            list->show();
            QWidget* at = w.childAt(box->geometry().center());
            QVERIFY(list->pos() == box->pos() && (at == list || at->parentWidget() == list));
        }
        // Tab leads from the title through the record to Salva.
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

    void fieldBoxesTypingAndCtrlT() {
        frmTips w;
        w.SetFieldLengths();
        // Locked boxes take no typing, Ctrl+T included; unlocked ones as many characters as the
        // field holds (the note field 50).
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
    }

    void clicksSelectTheWholeText() {
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
        // The search box selects its whole text when it gets the focus.
        w.txtFindTxt->setText("parola");
        w.txtFindTxt->setCursorPosition(2);
        QTest::mouseClick(w.txtFindTxt, Qt::LeftButton, {}, QPoint(3, 3));
        QTRY_COMPARE(w.txtFindTxt->selectedText(), "parola");
    }
};

QTEST_MAIN(tst_Layout)
#include "tst_layout.moc"
