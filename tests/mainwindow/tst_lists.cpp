// The window's drop-down lists: where they open and how Esc closes them.
#include "TestArchive.h"

#include <QtTest>
#include <QtWidgets>

namespace {

QRect globalRect(const QWidget* w) {
    return {w->mapToGlobal(QPoint(0, 0)), w->size()};
}

} // namespace

class tst_Lists : public QObject {
    Q_OBJECT

private slots:
    void listsOpenBelowAndEscClosesThem_data() {
        QTest::addColumn<QString>("list");
        QTest::addColumn<int>("tips");
        for (const char* list : {"cboTitoli", "cboSelectResearch", "cboGenericFind", "cboFindCategoria",
                                 "cboInsertCategoria", "cboInsertKey"})
            QTest::newRow(list) << QString(list) << 100;
        QTest::newRow("cboTitoli, 3 titoli") << "cboTitoli" << 3;
    }
    // Opened by mouse, F4 and Alt+Down, below its box, down to the search panel or 8 rows; Esc
    // closes it and nothing else, not a tip being typed. With no list open, Esc closes the window.
    void listsOpenBelowAndEscClosesThem() {
        QFETCH(QString, list);
        QFETCH(int, tips);
        QList<Tip> rows;
        for (int i = 0; i < tips; ++i)
            rows << Tip(QString("Titolo %1").arg(i, 3, 10, QChar('0')), "corpo",
                        QString("Cat %1").arg(i % 12), "chiave");
        ArchiveWindow w;
        QVERIFY(w.open(rows));
        const bool editing = list.startsWith("cboInsert");
        if (editing) {
            QVERIFY(w.click("optWork(1)") && w.click("cmdTool(0)"));
            w.fill({"Nuovo titolo", "testo non salvato"});
        } else if (list == "cboGenericFind") {
            QVERIFY(w.pick("cboSelectResearch", "ChiaveRicerca"));
        }
        auto* c = qobject_cast<QComboBox*>(w.widget(list));
        QVERIFY(c && c->isVisible() && c->isEnabled() && c->count() > 0);
        const int panelTop = globalRect(w.win->picSearch).top();
        for (const QString how : {"mouse", "F4", "Alt+Down"}) {
            c->setFocus();
            how == "mouse" ? QTest::mouseClick(c, Qt::LeftButton, {}, QPoint(c->width() - 6, c->height() / 2))
                           : QTest::keyClick(c, how == "F4" ? Qt::Key_F4 : Qt::Key_Down,
                                             how == "F4" ? Qt::NoModifier : Qt::AltModifier);
            QWidget* popup = c->view()->window();
            QTRY_VERIFY2(popup->isVisible(), qPrintable(how));
            const QRect shown = globalRect(popup);
            const int row = c->view()->sizeHintForRow(0);
            QCOMPARE(shown.top(), globalRect(c).bottom() + 1);
            if (list != "cboTitoli")
                QVERIFY(c->view()->viewport()->height() / row == std::min(c->count(), 8) &&
                        c->view()->verticalScrollBar()->isVisible() == (c->count() > 8));
            else if (tips == 100)
                QCOMPARE(shown.bottom() + 1, panelTop);
            else
                QVERIFY(shown.bottom() < panelTop && shown.height() >= 3 * row && shown.height() < 5 * row);
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : c->view(),
                            Qt::Key_Escape);
            QTRY_VERIFY(!popup->isVisible());
            QTest::qWait(20);
            QVERIFY2(w.win->isVisible(), qPrintable(how));
        }
        if (editing) QCOMPARE(w.boxText(0) + '|' + w.boxText(1), "Nuovo titolo|testo non salvato");
        QTest::keyClick(c, Qt::Key_Escape);
        QTRY_VERIFY(!w.win->isVisible());
        QCOMPARE(w.stored().size(), tips);
    }
};

QTEST_MAIN(tst_Lists)
#include "tst_lists.moc"
