// The main window as built: controls, geometry, overlaps, tab order, field boxes, cursors,
// the arrow animation, drop-down height and closing.
#include "MessageBoxWatcher.h"
#include "mainwindow/frmTips.h"
#include "mainwindow/frmTips_ui.h"
#include "startup/GenericBas.h"
#include "tipsdb/CreateDB.h"

#include <QAbstractItemView>
#include <QButtonGroup>
#include <QComboBox>
#include <QFile>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

QRect Twips(int l, int t, int w, int h) {
    return {l / 15, t / 15, w / 15, h / 15};
}

template <class T = QWidget> T* Find(const QWidget& w, const QString& name) {
    return w.findChild<T*>(name);
}

// Position of a widget among its siblings: higher is drawn above.
qsizetype StackIndex(QWidget* w) {
    return w->parentWidget()->children().indexOf(w);
}

} // namespace

class tst_Layout : public QObject {
    Q_OBJECT

private slots:
    void controlsHaveTheirNamesAndKinds();
    void geometryFollowsTheDesign_data();
    void geometryFollowsTheDesign();
    void windowIsFixedCentredAndTitled();
    void tooltipsAndAccessibleNames();
    void initialState();
    void commandPanelOrderAndCaptions();
    void overlapsKeepTheRightControlOnTop();
    void tabLeadsThroughTheRecordToSalva();
    void fieldLengthsAreTheFieldSizes();
    void lockingStopsTypingButNotSelecting();
    void ctrlTInsertsFiveSpacesOnlyWhenUnlocked();
    void rightClickSelectsTheWholeProcedure();
    void rightClickLeavesAPendingEditAlone();
    void searchBoxSelectsItsTextOnFocus();
    void cursorsComeFromThePictures();
    void arrowAnimationRunsSixteenFramesThenRests();
    void dropDownHeightLimitsTheOpenList();
    void escAndCmdCloseUnloadOnce();
    void fontsAndPictures();
};

void tst_Layout::controlsHaveTheirNamesAndKinds() {
    frmTips w;
    const QList<QPair<QString, const char*>> expected = {
        {"optWork(0)", "QPushButton"}, {"optWork(1)", "QPushButton"}, {"cmdUtility", "QPushButton"},
        {"cmdBookmark", "QPushButton"}, {"cmdOpenNewDB", "QPushButton"}, {"cmdInviaTips", "QPushButton"},
        {"chkTopMost", "QPushButton"}, {"cmdAbout", "QPushButton"}, {"cmdClose", "QPushButton"},
        {"lblLabels(0)", "QLabel"}, {"lblLabels(1)", "QLabel"}, {"Label1", "QLabel"}, {"Label2", "QLabel"},
        {"Label3", "QLabel"}, {"lblCategoria", "QLabel"}, {"lblSearchDescription", "QLabel"},
        {"txtdb(0)", "QLineEdit"}, {"txtdb(1)", "QPlainTextEdit"}, {"txtdb(2)", "QLineEdit"},
        {"txtdb(3)", "QLineEdit"}, {"txtdb(4)", "QLineEdit"}, {"txtFindTxt", "QLineEdit"},
        {"cboTitoli", "QComboBox"}, {"cboInsertCategoria", "QComboBox"}, {"cboInsertKey", "QComboBox"},
        {"cboSelectResearch", "QComboBox"}, {"cboGenericFind", "QComboBox"}, {"cboFindCategoria", "QComboBox"},
        {"imgBookmark", "QLabel"}, {"imgFreccia", "QLabel"}, {"lblNumRecord", "QLabel"},
        {"picSearch", "QWidget"}, {"picWorkButton", "QWidget"}, {"cmdSearch", "QPushButton"},
        {"cmdSposta(0)", "QPushButton"}, {"cmdSposta(1)", "QPushButton"}, {"cmdSposta(2)", "QPushButton"},
        {"cmdSposta(3)", "QPushButton"}, {"cmdTool(0)", "QPushButton"}, {"cmdTool(1)", "QPushButton"},
        {"cmdTool(2)", "QPushButton"}, {"cmdTool(3)", "QPushButton"}, {"cmdTool(4)", "QPushButton"},
        {"Line1", "QFrame"}, {"Line2", "QFrame"}, {"Line3", "QFrame"}, {"Line4", "QFrame"},
        {"Shape1", "QFrame"}, {"Shape2", "QFrame"}, {"Image1", "QLabel"}, {"Image2", "QLabel"},
        {"Image4", "QLabel"}, {"Image5", "QLabel"}};
    for (const auto& [name, kind] : expected) {
        const QList<QWidget*> found = w.findChildren<QWidget*>(name);
        QVERIFY2(found.size() == 1, qPrintable(name));
        QVERIFY2(found.first()->inherits(kind), qPrintable(name));
    }
    // The members and the array accessors reach the same widgets.
    for (int i = 0; i < frmTips::FieldCount; ++i)
        QCOMPARE(w.FieldBox(i)->objectName(), QStringLiteral("txtdb(%1)").arg(i));
    QCOMPARE(w.FieldBox(5), nullptr);
    for (auto* deco : {Find(w, "Image4"), Find(w, "Image5")})
        QCOMPARE(deco->parentWidget(), w.picSearch);
    QVERIFY(!w.cboSelectResearch->isEditable() && !w.cboGenericFind->isEditable());
    QVERIFY(!w.cboFindCategoria->isEditable() && !w.cboTitoli->isEditable());
    for (QComboBox* c : {w.cboInsertCategoria, w.cboInsertKey}) {
        QVERIFY(c->isEditable());
        QCOMPARE(c->completer(), nullptr);
        QCOMPARE(c->insertPolicy(), QComboBox::NoInsert);
    }
}

void tst_Layout::geometryFollowsTheDesign_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("rect");
    QTest::newRow("optWork(1)") << "optWork(1)" << Twips(840, 120, 615, 615);
    QTest::newRow("cmdClose") << "cmdClose" << Twips(6240, 120, 615, 615);
    QTest::newRow("chkTopMost") << "chkTopMost" << Twips(4440, 120, 615, 615);
    QTest::newRow("txtdb(1)") << "txtdb(1)" << Twips(105, 1560, 6750, 3135);
    QTest::newRow("txtdb(4)") << "txtdb(4)" << Twips(990, 4800, 5865, 330);
    QTest::newRow("imgBookmark") << "imgBookmark" << Twips(6600, 1320, 225, 210);
    QTest::newRow("cboInsertKey") << "cboInsertKey" << Twips(4755, 5220, 2100, 330);
    QTest::newRow("picWorkButton") << "picWorkButton" << Twips(0, 5760, 6975, 630);
    QTest::newRow("lblNumRecord") << "lblNumRecord" << Twips(2040, 6660, 3015, 390);
    QTest::newRow("cmdSposta(2)") << "cmdSposta(2)" << Twips(5160, 6600, 900, 390);
    QTest::newRow("cmdTool(3)") << "cmdTool(3)" << Twips(5640, 0, 1020, 615);
    QTest::newRow("imgFreccia") << "imgFreccia" << Twips(2595, 240, 465, 300);
    QTest::newRow("cmdSearch") << "cmdSearch" << Twips(6360, 120, 495, 450);
    QTest::newRow("Label1") << "Label1" << Twips(570, 0, 1335, 255);
}

void tst_Layout::geometryFollowsTheDesign() {
    QFETCH(QString, name);
    QFETCH(QRect, rect);
    frmTips w;
    QCOMPARE(Find(w, name)->geometry(), rect);
}

void tst_Layout::windowIsFixedCentredAndTitled() {
    frmTips w;
    QCOMPARE(w.windowTitle(), QStringLiteral("Quillnote"));
    QCOMPARE(w.minimumSize(), QSize(463, 469));
    QCOMPARE(w.maximumSize(), QSize(463, 469));
    QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(w.windowFlags() & Qt::WindowCloseButtonHint);
    QVERIFY(!w.windowIcon().isNull());
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY(qAbs(w.geometry().center().x() - screen.center().x()) <= 1);
    QVERIFY(qAbs(w.geometry().center().y() - screen.center().y()) <= 1);
}

void tst_Layout::tooltipsAndAccessibleNames() {
    frmTips w;
    const QList<QPair<QString, QString>> tips = {
        {"optWork(0)", "Visualizza Tips DB"}, {"optWork(1)", "Modifica Tips DB"}, {"cmdUtility", "Utility DB"},
        {"cmdBookmark", "Imposta o elimina bookmark"}, {"cmdOpenNewDB", "Apre un altro DB"},
        {"cmdInviaTips", "Invia Tips..."}, {"chkTopMost", "Finestra sempre in primo piano"},
        {"cmdAbout", "Informazioni..."}, {"cmdClose", "Esci"}, {"cmdSposta(0)", "Primo record"},
        {"cmdSposta(1)", "Record precedente"}, {"cmdSposta(2)", "Record successivo"},
        {"cmdSposta(3)", "Ultimo record"}, {"cmdSearch", "Inizia la ricerca"},
        {"cmdTool(0)", "Nuovo record"}, {"cmdTool(1)", "Salva record e/o modifiche"},
        {"cmdTool(2)", "Elimina record"}, {"cmdTool(3)", "Annulla operazione"}, {"cmdTool(4)", "Modifica record"}};
    for (const auto& [name, tip] : tips) {
        QCOMPARE(Find(w, name)->toolTip(), tip);
        QCOMPARE(Find(w, name)->accessibleName(), tip);
    }
    QCOMPARE(w.lblNumRecord->toolTip(), QStringLiteral("Alterna la modalità modifica/ricerca"));

    const QList<QPair<QString, QString>> names = {
        {"txtdb(0)", "Titolo"}, {"txtdb(1)", "Procedura"}, {"txtdb(2)", "Categoria"},
        {"txtdb(3)", "Chiave ricerca"}, {"txtdb(4)", "Note"}, {"cboInsertCategoria", "Categoria"},
        {"cboInsertKey", "Chiave ricerca"}, {"cboTitoli", "Elenco titoli"},
        {"cboSelectResearch", "Ricerca per..."}, {"cboFindCategoria", "Categoria da ricercare"},
        {"cboGenericFind", "Voce da ricercare"}, {"txtFindTxt", "Parola da ricercare"}};
    for (const auto& [name, accessible] : names)
        QCOMPARE(Find(w, name)->accessibleName(), accessible);

    // Nothing that takes input is left without a name.
    for (QWidget* c : w.findChildren<QWidget*>()) {
        const bool input = c->inherits("QAbstractButton") || c->inherits("QComboBox")
                           || (c->inherits("QLineEdit") && !c->parentWidget()->inherits("QComboBox"))
                           || c->inherits("QPlainTextEdit");
        if (input)
            QVERIFY2(!c->accessibleName().isEmpty(), qPrintable(c->objectName()));
    }
}

void tst_Layout::initialState() {
    frmTips w;
    QVERIFY(w.optWork[0]->isChecked());
    QVERIFY(!w.optWork[1]->isChecked());
    QVERIFY(!w.cboTitoli->isEnabled());
    QVERIFY(!w.imgBookmark->isVisibleTo(&w));
    QVERIFY(!w.cboInsertCategoria->isVisibleTo(&w));
    QVERIFY(!w.cboInsertKey->isVisibleTo(&w));
    QVERIFY(w.picSearch->isVisibleTo(&w));
    QVERIFY(!w.picWorkButton->isVisibleTo(&w));
    QVERIFY(w.chkTopMost->isCheckable() && !w.chkTopMost->isChecked());
    QCOMPARE(w.lblSearchDescription->text(), QStringLiteral("Digita la parola da ricercare"));
    QCOMPARE(w.lblNumRecord->alignment(), Qt::AlignCenter);
    // The option buttons exclude each other.
    QVERIFY(w.optWork[0]->group() && w.optWork[0]->group() == w.optWork[1]->group());
    QVERIFY(w.optWork[0]->group()->exclusive());
    // Exactly one of the three value controls of the search panel shows, and no search button.
    int shown = 0;
    for (QWidget* c : {static_cast<QWidget*>(w.cboGenericFind), static_cast<QWidget*>(w.cboFindCategoria),
                       static_cast<QWidget*>(w.txtFindTxt)})
        shown += c->isVisibleTo(&w) ? 1 : 0;
    QCOMPARE(shown, 1);
    QVERIFY(!w.cmdSearch->isVisibleTo(&w));
}

void tst_Layout::commandPanelOrderAndCaptions() {
    frmTips w;
    QList<QPushButton*> byLeft(w.cmdTool.begin(), w.cmdTool.end());
    std::sort(byLeft.begin(), byLeft.end(), [](auto* a, auto* b) { return a->x() < b->x(); });
    QStringList names, captions;
    for (QPushButton* b : byLeft) {
        names << b->objectName();
        captions << b->text();
        QCOMPARE(b->parentWidget(), w.picWorkButton);
    }
    QCOMPARE(names, QStringList({"cmdTool(0)", "cmdTool(1)", "cmdTool(2)", "cmdTool(4)", "cmdTool(3)"}));
    QCOMPARE(captions, QStringList({"&Nuovo", "&Salva", "&Elimina", "&Modifica", "&Annulla"}));
    QVERIFY(w.cmdTool[0]->isEnabled() && w.cmdTool[2]->isEnabled() && w.cmdTool[4]->isEnabled());
    QVERIFY(!w.cmdTool[1]->isEnabled() && !w.cmdTool[3]->isEnabled());
}

void tst_Layout::overlapsKeepTheRightControlOnTop() {
    frmTips w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.cboInsertCategoria->pos(), w.txtLine[2]->pos());
    QCOMPARE(w.cboInsertKey->pos(), w.txtLine[3]->pos());
    QVERIFY(StackIndex(w.cboInsertCategoria) > StackIndex(w.txtLine[2]));
    QVERIFY(StackIndex(w.cboInsertKey) > StackIndex(w.txtLine[3]));
    QCOMPARE(w.picSearch->geometry(), w.picWorkButton->geometry());

    // The title box covers the title list but for the list's drop-down button.
    QCOMPARE(w.txtLine[0]->pos(), w.cboTitoli->pos());
    QCOMPARE(w.cboTitoli->width() - w.txtLine[0]->width(), 18);
    const QPoint inBox = w.txtLine[0]->geometry().center();
    const QPoint onButton(w.txtLine[0]->geometry().right() + 9, inBox.y());
    QCOMPARE(w.childAt(inBox), w.txtLine[0]);
    QCOMPARE(w.childAt(onButton), w.cboTitoli);

    // A shown list takes the clicks meant for the box under it.
    w.cboInsertCategoria->show();
    QWidget* atCategory = w.childAt(w.txtLine[2]->geometry().center());
    QVERIFY(atCategory == w.cboInsertCategoria || atCategory->parentWidget() == w.cboInsertCategoria);
}

void tst_Layout::tabLeadsThroughTheRecordToSalva() {
    frmTips w;
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    // A record being edited: command panel, lists shown, boxes unlocked, Salva enabled.
    w.picSearch->hide();
    w.picWorkButton->show();
    w.cboInsertCategoria->show();
    w.cboInsertKey->show();
    w.cmdTool[1]->setEnabled(true);
    w.LockFields(false);

    w.txtLine[0]->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), w.txtLine[0]);
    const QList<QWidget*> expected = {w.txtProcedura, w.txtLine[4], w.cboInsertCategoria, w.cboInsertKey,
                                      w.cmdTool[1]};
    for (QWidget* next : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* focus = QApplication::focusWidget();
        QVERIFY2(focus == next || (focus && focus->parentWidget() == next),
                 qPrintable(QStringLiteral("expected %1, got %2").arg(next->objectName(),
                                                                      focus ? focus->objectName() : "none")));
    }
    // The rest of the chain keeps the designed order: Annulla, Modifica, Elimina after Salva.
    QList<QWidget*> chain;
    for (QWidget* f = w.cmdTool[1]->nextInFocusChain(); f != w.cmdTool[1] && chain.size() < 200; f = f->nextInFocusChain())
        chain << f;
    QVERIFY(chain.indexOf(w.cmdTool[3]) < chain.indexOf(w.cmdTool[4]));
    QVERIFY(chain.indexOf(w.cmdTool[4]) < chain.indexOf(w.cmdTool[2]));
    QVERIFY(chain.indexOf(w.cmdTool[2]) < chain.indexOf(w.txtLine[2]));
    QVERIFY(chain.indexOf(w.cmdClose) < chain.indexOf(w.cmdSposta[3]));
    QVERIFY(chain.indexOf(w.cmdSposta[0]) < chain.indexOf(w.txtLine[3]));
}

void tst_Layout::fieldLengthsAreTheFieldSizes() {
    frmTips w;
    w.SetFieldLengths();
    w.LockFields(false);
    const int expected[frmTips::FieldCount] = {60, -1, 30, 20, 50};
    for (int i = 0; i < frmTips::FieldCount; ++i) {
        QWidget* box = w.FieldBox(i);
        box->setFocus();
        QTest::keyClicks(box, QString(100, QLatin1Char('x')));
        QCOMPARE(w.FieldText(i).size(), expected[i] < 0 ? 100 : expected[i]);
    }
}

void tst_Layout::lockingStopsTypingButNotSelecting() {
    frmTips w;
    for (int i = 0; i < frmTips::FieldCount; ++i)
        w.SetFieldText(i, QStringLiteral("valore"));
    w.LockFields(true);
    for (int i = 0; i < frmTips::FieldCount; ++i) {
        QTest::keyClicks(w.FieldBox(i), QStringLiteral("zz"));
        QCOMPARE(w.FieldText(i), QStringLiteral("valore"));
    }
    QVERIFY(w.txtProcedura->textInteractionFlags() & Qt::TextSelectableByKeyboard);
    QTest::keyClick(w.txtProcedura, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(w.txtProcedura->textCursor().selectedText(), QStringLiteral("valore"));

    w.LockFields(false);
    for (int i = 0; i < frmTips::FieldCount; ++i) {
        w.SetFieldText(i, QString());
        QTest::keyClicks(w.FieldBox(i), QStringLiteral("zz"));
        QCOMPARE(w.FieldText(i), QStringLiteral("zz"));
    }
}

void tst_Layout::ctrlTInsertsFiveSpacesOnlyWhenUnlocked() {
    frmTips w;
    w.LockFields(false);
    w.SetFieldText(1, QStringLiteral("ab"));
    QTextCursor c = w.txtProcedura->textCursor();
    c.setPosition(1);
    w.txtProcedura->setTextCursor(c);
    QTest::keyClick(w.txtProcedura, Qt::Key_T, Qt::ControlModifier);
    QCOMPARE(w.FieldText(1), QStringLiteral("a     b"));
    QCOMPARE(w.txtProcedura->textCursor().position(), 6);

    // Shift with Ctrl is another key; other boxes do nothing with it.
    QTest::keyClick(w.txtProcedura, Qt::Key_T, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(w.FieldText(1), QStringLiteral("a     b"));
    w.SetFieldText(0, QStringLiteral("t"));
    QTest::keyClick(w.txtLine[0], Qt::Key_T, Qt::ControlModifier);
    QCOMPARE(w.FieldText(0), QStringLiteral("t"));

    w.LockFields(true);
    QTest::keyClick(w.txtProcedura, Qt::Key_T, Qt::ControlModifier);
    QCOMPARE(w.FieldText(1), QStringLiteral("a     b"));
}

void tst_Layout::rightClickSelectsTheWholeProcedure() {
    frmTips w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QWidget* area = w.txtProcedura->viewport();
    w.SetFieldText(1, QStringLiteral("riga uno\nriga due"));
    QTest::mouseClick(area, Qt::RightButton, {}, QPoint(5, 5));
    QCOMPARE(w.txtProcedura->textCursor().selectedText().size(), 17);

    // A selection already there is kept.
    QTextCursor c = w.txtProcedura->textCursor();
    c.setPosition(0);
    c.setPosition(4, QTextCursor::KeepAnchor);
    w.txtProcedura->setTextCursor(c);
    QTest::mouseClick(area, Qt::RightButton, {}, QPoint(5, 5));
    QCOMPARE(w.txtProcedura->textCursor().selectedText(), QStringLiteral("riga"));

    // The left button is left to the box; an empty box selects nothing.
    QTest::mouseClick(area, Qt::LeftButton, {}, QPoint(5, 5));
    QVERIFY(!w.txtProcedura->textCursor().hasSelection());
    w.SetFieldText(1, QString());
    QTest::mouseClick(area, Qt::RightButton, {}, QPoint(5, 5));
    QCOMPARE(w.txtProcedura->textCursor().selectionEnd(), 0);
}

void tst_Layout::rightClickLeavesAPendingEditAlone() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("edit.mdb"));
    QVERIFY(CreateDB::CreateTipsDatabase(path));
    GenericBas::TipsDatabase = qn::DBEngine::Workspaces(0).OpenDatabase(path, true, false);
    GenericBas::TipsRecordset = GenericBas::TipsDatabase->OpenRecordset(QStringLiteral("TipsTable"), qn::dbOpenDynaset);

    frmTips w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.SetFieldText(1, QStringLiteral("testo"));
    GenericBas::TipsRecordset->AddNew();
    QTest::mouseClick(w.txtProcedura->viewport(), Qt::RightButton, {}, QPoint(5, 5));
    QVERIFY(!w.txtProcedura->textCursor().hasSelection());
    GenericBas::TipsRecordset->CancelUpdate();
    QTest::mouseClick(w.txtProcedura->viewport(), Qt::RightButton, {}, QPoint(5, 5));
    QCOMPARE(w.txtProcedura->textCursor().selectedText(), QStringLiteral("testo"));

    GenericBas::TipsRecordset.reset();
    GenericBas::TipsDatabase.reset();
}

void tst_Layout::searchBoxSelectsItsTextOnFocus() {
    frmTips w;
    w.txtFindTxt->show();
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    w.txtFindTxt->setText(QStringLiteral("parola"));
    w.txtFindTxt->setCursorPosition(2);
    QTest::mouseClick(w.txtFindTxt, Qt::LeftButton, {}, QPoint(3, 3));
    QTRY_COMPARE(w.txtFindTxt->selectedText(), QStringLiteral("parola"));
}

void tst_Layout::cursorsComeFromThePictures() {
    frmTips w;
    w.SetMousePointers();
    const QImage button = w.cmdClose->cursor().pixmap().toImage();
    const QImage list = w.cboTitoli->cursor().pixmap().toImage();
    QVERIFY(!button.isNull() && !list.isNull());
    QVERIFY(button != list);
    for (QWidget* b : {static_cast<QWidget*>(w.optWork[1]), static_cast<QWidget*>(w.chkTopMost),
                       static_cast<QWidget*>(w.cmdTool[3]), static_cast<QWidget*>(w.cmdSearch)})
        QCOMPARE(b->cursor().pixmap().toImage(), button);
    for (QComboBox* c : {w.cboInsertKey, w.cboSelectResearch, w.cboFindCategoria})
        QCOMPARE(c->cursor().pixmap().toImage(), list);
    QCOMPARE(w.cboInsertCategoria->lineEdit()->cursor().pixmap().toImage(), list);
    QCOMPARE(w.txtLine[0]->cursor().shape(), Qt::IBeamCursor);
    QCOMPARE(w.Label3->cursor().shape(), Qt::ArrowCursor);
    // The counter keeps its own cursor.
    QCOMPARE(w.lblNumRecord->cursor().shape(), Qt::BitmapCursor);
    QVERIFY(w.lblNumRecord->cursor().pixmap().toImage() != button);
}

void tst_Layout::arrowAnimationRunsSixteenFramesThenRests() {
    frmTips w;
    QList<int> frames;
    QTimer probe;
    probe.setInterval(0);
    connect(&probe, &QTimer::timeout, [&] {
        const int f = w.imgFreccia->property("arrowFrame").toInt();
        if (frames.isEmpty() || frames.last() != f)
            frames << f;
    });
    probe.start();
    w.AnimateArrow();
    probe.stop();
    frames << w.imgFreccia->property("arrowFrame").toInt();
    QCOMPARE(frames, QList<int>({1, 2, 3, 4, 5, 6, 7, 8, 1, 2, 3, 4, 5, 6, 7, 8, 1}));
    QCOMPARE(w.imgFreccia->pixmap().toImage(), qn::ui::ArrowFrame(1, w.imgFreccia->size()).toImage());

    w.imgFreccia->setProperty("arrowFrame", 0);
    w.SuppressArrowAnimation = true;
    w.AnimateArrow();
    QCOMPARE(w.imgFreccia->property("arrowFrame").toInt(), 0);
}

void tst_Layout::dropDownHeightLimitsTheOpenList() {
    frmTips w;
    for (int i = 0; i < 200; ++i)
        w.cboTitoli->addItem(QStringLiteral("Titolo %1").arg(i));
    w.cboTitoli->setEnabled(true);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const int row = w.cboTitoli->view()->sizeHintForRow(0);
    const int height = w.picSearch->y() - w.cboTitoli->y();
    w.SetDropDownHeight(w.cboTitoli, height);
    const int rows = w.cboTitoli->maxVisibleItems();
    QVERIFY(rows >= 1);
    QVERIFY(w.cboTitoli->height() + rows * row <= height);
    QVERIFY(w.cboTitoli->height() + (rows + 1) * row > height);
    // A taller drop-down shows more rows.
    w.SetDropDownHeight(w.cboTitoli, height * 2);
    QVERIFY(w.cboTitoli->maxVisibleItems() > rows);
}

void tst_Layout::escAndCmdCloseUnloadOnce() {
    const QString message = GenericBas::TempFolder() + QStringLiteral("email.eml");
    auto plant = [&] {
        QFile f(message);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("x");
    };
    {
        frmTips w;
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.LockFields(false);
        w.txtLine[0]->setFocus();
        plant();
        QTest::keyClick(w.txtLine[0], Qt::Key_Escape);
        QVERIFY(!w.isVisible());
        QVERIFY(!QFile::exists(message)); // the unload removed the message file
        // A second close does not unload again.
        plant();
        w.close();
        QVERIFY(QFile::exists(message));
        QFile::remove(message);
    }
    {
        frmTips w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        plant();
        QTest::mouseClick(w.cmdClose, Qt::LeftButton);
        QVERIFY(!w.isVisible());
        QVERIFY(!QFile::exists(message));
    }
}

void tst_Layout::fontsAndPictures() {
    frmTips w;
    const QStringList families = {QStringLiteral("Arial"), QStringLiteral("Liberation Sans")};
    for (QWidget* c : {w.FieldBox(0), w.FieldBox(1), w.FieldBox(4), static_cast<QWidget*>(w.cboTitoli),
                       static_cast<QWidget*>(w.cboInsertCategoria), static_cast<QWidget*>(w.cboGenericFind)})
        QVERIFY2(families.contains(QFontInfo(c->font()).family()), qPrintable(c->objectName()));

    for (QAbstractButton* b : w.findChildren<QAbstractButton*>())
        QVERIFY2(!b->icon().isNull(), qPrintable(b->objectName()));
    const QStringList pictures = {":/icons/201-window.svg", ":/icons/202-about.svg", ":/cursors/101-button.svg",
                                  ":/cursors/102-list.svg", ":/cursors/counter.svg", ":/pictures/bookmark-mark.svg",
                                  ":/buttons/chkTopMost-raised.svg", ":/buttons/chkTopMost-pressed.svg"};
    for (const QString& p : pictures)
        QVERIFY2(QSvgRenderer(p).isValid(), qPrintable(p));
    // Eight different arrow frames.
    QList<QImage> frames;
    for (int i = 1; i <= 8; ++i) {
        const QImage f = qn::ui::ArrowFrame(i, QSize(31, 20)).toImage();
        QVERIFY(!f.isNull() && !frames.contains(f));
        frames << f;
    }
    // The always-on-top switch changes its picture when pressed.
    const QImage raised = w.chkTopMost->icon().pixmap(32, QIcon::Normal, QIcon::Off).toImage();
    const QImage pressed = w.chkTopMost->icon().pixmap(32, QIcon::Normal, QIcon::On).toImage();
    QVERIFY(raised != pressed);
}

QTEST_MAIN(tst_Layout)
#include "tst_layout.moc"
