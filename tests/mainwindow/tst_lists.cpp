// The window's drop-down lists: where they open, how tall they are, and Esc while one is open;
// Enter in the search box.
#include "TestArchive.h"

#include <QtTest>
#include <QtWidgets>

namespace {

QList<Tip> numberedTips(int count, int categories) {
    QList<Tip> tips;
    for (int i = 0; i < count; ++i)
        tips << Tip(QStringLiteral("Titolo %1").arg(i, 3, 10, QLatin1Char('0')), "corpo",
                    QStringLiteral("Cat %1").arg(i % categories, 2, 10, QLatin1Char('0')), "chiave");
    return tips;
}

QRect globalRect(const QWidget* w) {
    return {w->mapToGlobal(QPoint(0, 0)), w->size()};
}

QWidget* popupOf(QComboBox* c) {
    return c->view()->window();
}

// Opens the list as a user does: a click on its arrow, F4 or Alt+Down.
void openList(QComboBox* c, const QString& how) {
    if (how == "mouse") {
        QTest::mouseClick(c, Qt::LeftButton, {}, QPoint(c->width() - 6, c->height() / 2));
    } else {
        c->setFocus();
        QTest::keyClick(c, how == "F4" ? Qt::Key_F4 : Qt::Key_Down,
                        how == "F4" ? Qt::NoModifier : Qt::AltModifier);
    }
}

} // namespace

class tst_Lists : public QObject {
    Q_OBJECT

private slots:
    // The title list opens below the title box and ends at the top of the search panel; fewer
    // titles shrink it. The other lists open below their boxes too, eight rows high at most.
    void listsOpenBelowTheirBox_data() {
        QTest::addColumn<int>("tips");
        QTest::newRow("100 titles") << 100;
        QTest::newRow("3 titles") << 3;
    }
    void listsOpenBelowTheirBox() {
        QFETCH(int, tips);
        ArchiveWindow w;
        QVERIFY(w.open(numberedTips(tips, 12)));
        QComboBox* titles = w.win->cboTitoli;
        openList(titles, "mouse");
        QWidget* popup = popupOf(titles);
        QTRY_VERIFY(popup->isVisible());
        const QRect list = globalRect(popup), box = globalRect(titles);
        const int panelTop = globalRect(w.win->picSearch).top();
        QCOMPARE(list.top(), box.bottom() + 1);
        const int row = titles->view()->sizeHintForRow(0);
        if (tips == 100)
            QCOMPARE(list.bottom() + 1, panelTop);
        else
            QVERIFY(list.bottom() < panelTop && list.height() >= 3 * row && list.height() < 5 * row);
        QTest::keyClick(titles->view(), Qt::Key_Escape);
        QTRY_VERIFY(!popup->isVisible());

        // 12 categories and "[Tutte le categorie]": eight rows and a scroll bar; the five search
        // types need no scroll bar.
        for (QComboBox* c : {w.win->cboFindCategoria, w.win->cboSelectResearch}) {
            openList(c, "mouse");
            QTRY_VERIFY(popupOf(c)->isVisible());
            QCOMPARE(globalRect(popupOf(c)).top(), globalRect(c).bottom() + 1);
            const int shown = c->view()->viewport()->height() / c->view()->sizeHintForRow(0);
            QCOMPARE(shown, std::min(c->count(), 8));
            QCOMPARE(c->view()->verticalScrollBar()->isVisible(), c->count() > 8);
            QTest::keyClick(c->view(), Qt::Key_Escape);
            QTRY_VERIFY(!popupOf(c)->isVisible());
        }
    }

    // With a list open, Esc closes the list and nothing else; without one it closes the window.
    // The lists of the editing controls are tried while a new tip is being typed: it must neither
    // be stored nor lost by the Esc that closes a list.
    void escClosesAnOpenListFirst_data() {
        QTest::addColumn<QString>("list");
        for (const char* list : {"cboTitoli", "cboSelectResearch", "cboGenericFind", "cboFindCategoria",
                                 "cboInsertCategoria", "cboInsertKey"})
            QTest::newRow(list) << QString(list);
    }
    void escClosesAnOpenListFirst() {
        QFETCH(QString, list);
        ArchiveWindow w;
        QVERIFY(w.open(numberedTips(12, 3)));
        const bool editing = list.startsWith("cboInsert");
        if (editing) {
            QVERIFY(w.click("optWork(1)") && w.click("cmdTool(0)"));
            w.fill({"Nuovo titolo", "testo non salvato"});
        } else if (list == "cboGenericFind") {
            QVERIFY(w.pick("cboSelectResearch", "ChiaveRicerca"));
        }
        auto* c = qobject_cast<QComboBox*>(w.widget(list));
        QVERIFY(c && c->isVisible() && c->isEnabled() && c->count() > 0);
        for (const QString how : {"mouse", "F4", "Alt+Down"}) {
            openList(c, how);
            QTRY_VERIFY2(popupOf(c)->isVisible(), qPrintable(how));
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : c->view(),
                            Qt::Key_Escape);
            QTRY_VERIFY(!popupOf(c)->isVisible());
            QTest::qWait(20);
            QVERIFY2(w.win->isVisible(), qPrintable(how));
        }
        if (editing) QCOMPARE(w.boxText(0) + '|' + w.boxText(1), "Nuovo titolo|testo non salvato");
        // Now Esc closes the window, and the pending tip is not stored.
        QTest::keyClick(c, Qt::Key_Escape);
        QTRY_VERIFY(!w.win->isVisible());
        QCOMPARE(w.stored().size(), 12);
    }

    // Enter in the search box presses the search button: the same view, message and focus.
    void enterInTheSearchBoxSearches_data() {
        QTest::addColumn<QString>("word");
        QTest::addColumn<int>("boxes");
        QTest::newRow("found") << "00" << 0;
        QTest::newRow("not found") << "manca" << 1;
        QTest::newRow("empty") << "" << 1;
    }
    void enterInTheSearchBoxSearches() {
        QFETCH(QString, word);
        QFETCH(int, boxes);
        QStringList outcomes;
        for (const bool enter : {false, true}) {
            ArchiveWindow w;
            QVERIFY(w.open(numberedTips(12, 3)));
            QVERIFY(w.pick("cboSelectResearch", "Titolo"));
            w.type("txtFindTxt", word);
            QVERIFY(w.answering(Answers(boxes, QMessageBox::Ok), [&] {
                if (enter)
                    QTest::keyClick(w.win->txtFindTxt, Qt::Key_Return);
                else
                    QTest::mouseClick(w.win->cmdSearch, Qt::LeftButton);
            }));
            QWidget* focus = w.win->focusWidget(); // the window's own: a message box may still be leaving
            outcomes << w.tip() + '|' + w.said().join(';') + '|' + (focus ? focus->objectName() : "-");
        }
        QCOMPARE(outcomes.at(1), outcomes.at(0));
        QVERIFY(!outcomes.at(0).endsWith("|-"));
    }
};

QTEST_MAIN(tst_Lists)
#include "tst_lists.moc"
