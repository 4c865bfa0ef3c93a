// The About window as the user sees it (texts, version, pictures, cursors, every text whole
// within its label), closing by Enter, Esc and the button, the mail link where no program can
// take it; and the main window's two commands: always on top, and the About window shown
// modally over the disabled main window. (On a real X server: tst_commands_x11.)
#include "DialogDriver.h"
#include "MessageBoxWatcher.h"
#include "TestArchive.h"
#include "about/frmAbout.h"
#include "mainwindow/frmTips_ui.h"

#include <QtTest>
#include <QtWidgets>

namespace {

QString text(const frmAbout& w, const char* name) {
    return w.findChild<QLabel*>(QString::fromLatin1(name))->text();
}

// Runs `open`, which shows an About window modally; `action` runs once it is up and must close
// it. False when the window never came or had to be closed by force.
bool whileOpen(const std::function<void()>& open, const std::function<void(frmAbout*)>& action) {
    DialogDriver driver;
    bool leftOpen = false;
    driver.onNext("frmAbout", [&](QWidget* w) {
        action(static_cast<frmAbout*>(w));
        QCoreApplication::processEvents();
        if ((leftOpen = w->isVisible())) static_cast<QDialog*>(w)->done(-1);
    });
    QTimer guard; // never waits for ever
    guard.callOnTimeout([] {
        if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) d->done(-2);
    });
    guard.start(10000);
    open();
    return driver.done() == 1 && !leftOpen;
}

// A new About window of its own, shown modally; `result` is what exec() returned.
bool runModal(const std::function<void(frmAbout*)>& action, int* result = nullptr) {
    return whileOpen(
        [&] {
            frmAbout about;
            const int r = about.exec();
            if (result) *result = r;
        },
        action);
}

} // namespace

class tst_About : public QObject {
    Q_OBJECT

private slots:
    void textsAsShown() {
        frmAbout w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.windowTitle(), "Informazioni su..........");
        QVERIFY(w.minimumSize() == QSize(338, 355) && w.maximumSize() == w.minimumSize());
        const QString version = QStringLiteral("Versione ") + QStringLiteral(QN_PROJECT_VERSION);
        const QStringList expected = {
            "Quillnote",
            "Quillnote",
            version,
            "Il database utilizzato dal programma è in formato Microsoft ® Access 97. Per il corretto "
            "funzionamento del programma occorre siano presenti i files di Microsoft Jet Database "
            "Engine 3.51",
            "Applicazione a 32 bit per Windows ® 9x /ME/NT/XP",
            "Attenzione! Questo programma viene fornito \"as is\" (così com'è) senza nessuna garanzia di "
            "funzionamento.\nL 'autore non si assume nessuna responsabilità nel caso di  perdite di dati "
            "provocate dall'utilizzo di questo programma.",
            frmAbout::AuthorAddress()};
        const QStringList shown = {text(w, "Label1(0)"), text(w, "Label1(1)"), text(w, "lblVersione"),
                                   text(w, "Label6"),    text(w, "Label5"),    text(w, "lblWarning"),
                                   text(w, "lblEmail")};
        QCOMPARE(shown, expected);
        QVERIFY(frmAbout::AuthorAddress().endsWith("@example.org") && !text(w, "Label2").isEmpty());
        QVERIFY(w.cmdEsci->text() == "&Chiudi" && w.cmdEsci->toolTip() == "Esci" && w.cmdEsci->isDefault());

        // Each text is shown whole, shown as text (no markup read), and no two texts overlap.
        const QList<QLabel*> texts = {w.Label1[0], w.lblVersione, w.Label2,    w.lblEmail,
                                      w.Label6,    w.Label5,      w.lblWarning};
        for (QLabel* l : texts) {
            const int needed = l->wordWrap() ? l->heightForWidth(l->width()) : l->sizeHint().height();
            QVERIFY2(l->textFormat() == Qt::PlainText && needed <= l->height() &&
                         (l->wordWrap() || l->sizeHint().width() <= l->width()),
                     qPrintable(l->objectName()));
            for (QLabel* other : texts)
                QVERIFY2(other == l || !other->geometry().intersects(l->geometry()),
                         qPrintable(l->objectName()));
            QVERIFY(w.rect().contains(l->geometry()));
        }
        // The shadow lies a pixel down and right, beneath the white title.
        QCOMPARE(w.Label1[1]->pos(), w.Label1[0]->pos() + QPoint(1, 1));
        QVERIFY(w.children().indexOf(w.Label1[1]) < w.children().indexOf(w.Label1[0]));
        // The pictures, and cursor 101 over the button and the address.
        for (QLabel* p : {w.Image1, w.imgMylogo, w.Image2})
            QVERIFY2(!p->pixmap().isNull(), qPrintable(p->objectName()));
        QCOMPARE(w.Image1->pixmap().toImage(),
                 qn::ui::Picture(":/icons/201-window.svg", w.Image1->size()).toImage());
        const QImage cursor = qn::ui::ButtonCursor().pixmap().toImage();
        QVERIFY(!cursor.isNull() && w.cmdEsci->cursor().pixmap().toImage() == cursor &&
                w.lblEmail->cursor().pixmap().toImage() == cursor);
    }

    void enterAndEscClose_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("target");
        QTest::newRow("Enter") << int(Qt::Key_Enter) << "cmdEsci";
        QTest::newRow("Return") << int(Qt::Key_Return) << "Label6";
        QTest::newRow("Esc") << int(Qt::Key_Escape) << "cmdEsci";
        QTest::newRow("Esc su un testo") << int(Qt::Key_Escape) << "lblWarning";
        QTest::newRow("clic") << 0 << "cmdEsci";
    }
    void enterAndEscClose() {
        QFETCH(int, key);
        QFETCH(QString, target);
        int clicks = 0;
        QVERIFY(runModal([&](frmAbout* w) {
            connect(w->cmdEsci, &QPushButton::clicked, [&] { ++clicks; });
            QWidget* at = w->findChild<QWidget*>(target);
            key ? QTest::keyClick(at, Qt::Key(key)) : QTest::mouseClick(at, Qt::LeftButton);
        }));
        // Each of them presses the close button.
        QCOMPARE(clicks, 1);
    }

    void mailLinkWithoutMailProgram() {
        // This platform opens no links, as a desktop without a mail program: nothing is said, the
        // window closes. A press that ends outside the address is no click.
        MessageBoxWatcher boxes;
        int result = 0;
        QVERIFY(runModal(
            [&](frmAbout* w) {
                QTest::mousePress(w->lblEmail, Qt::LeftButton, {}, QPoint(3, 3));
                QTest::mouseRelease(w->lblEmail, Qt::LeftButton, {}, QPoint(-20, 3));
                QVERIFY(w->isVisible());
                QTest::mouseClick(w->lblEmail, Qt::LeftButton, {}, QPoint(3, 3));
            },
            &result));
        QCOMPARE(result, int(QDialog::Accepted));
        QTest::qWait(50);
        QCOMPARE(boxes.count(), 0);
    }

    void topMostSwitch() {
        // Offscreen keeps no window on top: the command still switches its flag, tooltip and picture.
        ArchiveWindow w;
        QVERIFY(w.open({{"Alfa"}}));
        frmTips& win = *w.win;
        QVERIFY(QTest::qWaitForWindowExposed(&win));
        const QRect frame = win.frameGeometry(), inner = win.geometry();
        const WId native = win.winId();
        const auto picture = [&] {
            const QIcon::State state = win.chkTopMost->isChecked() ? QIcon::On : QIcon::Off;
            return win.chkTopMost->icon().pixmap(win.chkTopMost->iconSize(), QIcon::Normal, state).toImage();
        };
        // On top at load; each click toggles, two bring back the first state.
        QList<QImage> pictures;
        for (int clicks = 0; clicks <= 2; ++clicks) {
            const bool onTop = clicks != 1;
            if (clicks > 0) {
                win.cboSelectResearch->setFocus();
                QTest::mouseClick(win.chkTopMost, Qt::LeftButton);
                QCoreApplication::processEvents();
                QCOMPARE(QApplication::focusWidget(), win.FieldBox(0));
            }
            QCOMPARE(win.windowFlags().testFlag(Qt::WindowStaysOnTopHint), onTop);
            QCOMPARE(win.chkTopMost->isChecked(), !onTop);
            QCOMPARE(win.chkTopMost->toolTip(),
                     onTop ? "Finestra sempre in primo piano" : "Finestra non in primo piano");
            QCOMPARE(win.chkTopMost->accessibleName(), win.chkTopMost->toolTip());
            // The same native window, neither hidden, moved nor resized.
            QVERIFY(win.isVisible() && win.winId() == native);
            QVERIFY(win.frameGeometry() == frame && win.geometry() == inner);
            pictures << picture();
        }
        // The raised and the pressed picture tell the states apart.
        QVERIFY(!pictures[0].isNull() && pictures[0] != pictures[1] && pictures[0] == pictures[2]);
    }

    void aboutOverDisabledWindow() {
        ArchiveWindow w;
        QVERIFY(w.open({{"Alfa"}, {"Beta"}}));
        frmTips& win = *w.win;
        QVERIFY(QTest::qWaitForWindowActive(&win));
        for (bool onTop : {true, false}) {
            if (!onTop) QTest::mouseClick(win.chkTopMost, Qt::LeftButton);
            QTest::mouseClick(win.cmdSposta[0], Qt::LeftButton);
            win.txtProcedura->setFocus();
            QStringList seen;
            QVERIFY(whileOpen(
                [&] { win.cmdAbout->click(); },
                [&](frmAbout* about) {
                    // Neither mouse nor keys reach the main window: Esc would close it,
                    // the button would show the next tip.
                    QTest::mouseClick(win.cmdSposta[2], Qt::LeftButton);
                    QTest::keyClick(&win, Qt::Key_Escape);
                    seen << QString::number(win.isEnabled()) << QString::number(about->isEnabled())
                         << QString::number(about->parentWidget() == &win) << w.counter()
                         << QString::number(win.isVisible())
                         << QString::number(about->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
                    QTest::keyClick(about, Qt::Key_Escape);
                }));
            QCOMPARE(seen.join(' '),
                     QStringList({"0", "1", "1", "1  di  2", "1", QString::number(onTop)}).join(' '));
            // Available again, the focus where it was, no About window left behind.
            QVERIFY(win.isEnabled() && win.isVisible() && win.findChildren<frmAbout*>().isEmpty());
            QTRY_COMPARE(QApplication::focusWidget(), win.txtProcedura);
            QTest::mouseClick(win.cmdSposta[2], Qt::LeftButton);
            QCOMPARE(w.counter(), "2  di  2");
        }
    }
};

QTEST_MAIN(tst_About)
#include "tst_about.moc"
