// Switching the main window between view mode and edit mode, by the option buttons and by a
// double-click on the record counter.
#include "EditingFixture.h"

namespace {

const QList<Tip> tips = {
    {QStringLiteral("Alfa"), QStringLiteral("uno"), QStringLiteral("Grafica")},
    {QStringLiteral("Bravo"), QStringLiteral("due"), QStringLiteral("Database")},
    {QStringLiteral("Charlie"), QStringLiteral("tre"), QStringLiteral("Grafica")},
    {QStringLiteral("Delta"), QStringLiteral("quattro"), QStringLiteral("Database")},
    {QStringLiteral("Echo"), QStringLiteral("cinque"), QStringLiteral("Grafica")},
};

bool inEditMode(const EditingFixture& f) {
    return f.button("optWork(1)")->isChecked() && f.child<QWidget>("picWorkButton")->isVisible() &&
           !f.child<QWidget>("picSearch")->isVisible();
}
bool inViewMode(const EditingFixture& f) {
    return f.button("optWork(0)")->isChecked() && !f.child<QWidget>("picWorkButton")->isVisible() &&
           f.child<QWidget>("picSearch")->isVisible();
}

// Counts the frames the search panel's arrow shows while `action` runs.
template <typename Action> int arrowFramesDuring(EditingFixture& f, Action action) {
    struct Counter : QObject {
        int frames = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::DynamicPropertyChange &&
                static_cast<QDynamicPropertyChangeEvent*>(e)->propertyName() == "arrowFrame")
                ++frames;
            return false;
        }
    } counter;
    QLabel* arrow = f.child<QLabel>("imgFreccia");
    arrow->installEventFilter(&counter);
    action();
    arrow->removeEventFilter(&counter);
    return counter.frames;
}

} // namespace

class TestModes : public QObject {
    Q_OBJECT

private slots:
    void editModeDuringAFilterStaysOnTheTip() {
        EditingFixture f;
        QVERIFY(f.create(tips));
        f.open();
        QVERIFY(inViewMode(f));
        f.pick(f.combo("cboFindCategoria"), "Grafica");
        f.click(f.button("cmdSposta(2)"));
        QCOMPARE(f.boxText(0), QString("Charlie"));
        QCOMPARE(f.counter(), QString("2  di  3"));

        f.enterEditMode();
        QVERIFY(inEditMode(f));
        QCOMPARE(f.boxText(0), QString("Charlie")); // all tips again, on the same one
        QCOMPARE(f.counter(), QString("3  di  5"));
        QCOMPARE(f.combo("cboTitoli")->count(), 5);
        QCOMPARE(f.focused(), f.tool(0));

        // Back to view mode: the search type is reset to "Categoria" without the arrow playing.
        f.click(f.button("cmdSposta(2)"));
        const int frames = arrowFramesDuring(f, [&] { f.click(f.button("optWork(0)")); });
        QCOMPARE(frames, 0);
        QVERIFY(!f.window->SuppressArrowAnimation);
        QVERIFY(inViewMode(f));
        QCOMPARE(f.combo("cboSelectResearch")->currentText(), QString("Categoria"));
        QVERIFY(f.combo("cboFindCategoria")->isVisible());
        QCOMPARE(f.child<QLabel>("lblSearchDescription")->text(),
                 QString("Seleziona la categoria da ricercare"));
        QCOMPARE(f.focused(), f.box(0));
        QCOMPARE(f.boxes.count(), 0);
        // A user's choice of search type still plays it.
        QVERIFY(arrowFramesDuring(f, [&] { f.pick(f.combo("cboSelectResearch"), "Titolo"); }) > 0);
    }

    void counterDoubleClickToggles() {
        EditingFixture f;
        QVERIFY(f.create(tips));
        f.open();
        QLabel* counter = f.child<QLabel>("lblNumRecord");
        QTest::mouseDClick(counter, Qt::LeftButton);
        QVERIFY(inEditMode(f));
        QTest::mouseDClick(counter, Qt::LeftButton);
        QVERIFY(inViewMode(f));

        // Not while a tip is being added; the option button then discards it without asking.
        f.enterEditMode();
        f.click(f.button("cmdSposta(3)"));
        f.click(f.tool(0));
        f.type(0, "Mai salvato");
        f.type(1, "corpo");
        f.typeIn(f.combo("cboInsertCategoria"), "Nuova");
        QTest::mouseDClick(counter, Qt::LeftButton);
        QVERIFY(inEditMode(f));
        QVERIFY(f.tool(1)->isEnabled());
        QCOMPARE(f.boxText(0), QString("Mai salvato"));

        f.click(f.button("optWork(0)"));
        QVERIFY(inViewMode(f));
        QCOMPARE(f.boxes.count(), 0);
        QCOMPARE(GenericBas::TipsRecordset->EditMode(), int(qn::dbEditNone));
        QVERIFY(!f.combo("cboInsertCategoria")->isVisible());
        QVERIFY(f.button("cmdSposta(0)")->isEnabled());
        QCOMPARE(f.boxText(0), QString("Alfa")); // the search type reset reloads all tips
        QCOMPARE(f.counter(), QString("1  di  5"));
        // Edit mode again finds the panel browsing.
        f.enterEditMode();
        QVERIFY(f.tool(0)->isEnabled());
        QVERIFY(!f.tool(1)->isEnabled());
        QCOMPARE(f.rowsAfterClose().size(), tips.size());
    }

    void counterRefusesOnAReadOnlyArchive() {
        EditingFixture f;
        QVERIFY(f.create(tips));
        QVERIFY(QFile::setPermissions(f.path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        f.open({QMessageBox::Ok});
        QVERIFY(!f.button("optWork(1)")->isEnabled());
        QTest::mouseDClick(f.child<QLabel>("lblNumRecord"), Qt::LeftButton);
        QVERIFY(inViewMode(f));
        QCOMPARE(f.boxes.count(), 1);
    }

    void emptyArchiveOpensInEditModeAndTakesAFirstTip() {
        EditingFixture f;
        QVERIFY(f.create({}));
        f.open({QMessageBox::Ok});
        QCOMPARE(f.boxes.count(), 1);
        QVERIFY(f.boxes.last().text.startsWith("Il Database Quillnote.mdb è vuoto."));
        QVERIFY(inEditMode(f));
        QCOMPARE(f.counter(), QString("0  di  0"));

        f.click(f.tool(0));
        QCOMPARE(f.combo("cboInsertCategoria")->count(), 0);
        f.type(0, "Primo");
        f.type(1, "corpo");
        f.typeIn(f.combo("cboInsertCategoria"), "Inizio");
        f.click(f.tool(1));
        QCOMPARE(f.boxes.count(), 1);
        QCOMPARE(f.counter(), QString("1  di  1"));
        QVERIFY(!f.combo("cboTitoli")->isEnabled()); // one title offers no choice
        QCOMPARE(f.rowsAfterClose(), QStringList({"1|Primo|corpo|Inizio|||<null>"}));
    }
};

QTEST_MAIN(TestModes)
#include "tst_modes.moc"
