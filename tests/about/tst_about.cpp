// The About window as shown, its closing by keys, button and address, and the on-top switch offscreen.
#include "DialogDriver.h"
#include "MessageBoxWatcher.h"
#include "TestArchive.h"
#include "about/frmAbout.h"
#include "mainwindow/frmTips_ui.h"

#include <QtTest>
#include <QtWidgets>

class tst_About : public QObject {
    Q_OBJECT

private slots:
    void textsAsShown() {
        frmAbout w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        // Each text shown whole, as plain text, clear of the others.
        QStringList shown = {w.windowTitle()};
        const QList<QLabel*> texts = {w.Label1[0], w.Label1[1],  w.lblVersione, w.Label6,
                                      w.Label5,    w.lblWarning, w.lblEmail,    w.Label2};
        for (QLabel* l : texts) {
            shown << l->text();
            if (l == w.Label1[1]) continue; // the shadow lies beneath the title on purpose
            const QSize needed =
                l->wordWrap() ? QSize(l->width(), l->heightForWidth(l->width())) : l->sizeHint();
            int meets = 0;
            for (QLabel* other : texts)
                meets += other != w.Label1[1] && other->geometry().intersects(l->geometry());
            QVERIFY2(meets == 1 && w.rect().contains(l->geometry()) && l->textFormat() == Qt::PlainText &&
                         needed.boundedTo(l->size()) == needed,
                     qPrintable(l->objectName()));
        }
        QCOMPARE(shown.mid(0, 8),
                 QStringList({"Informazioni su..........", "Quillnote", "Quillnote",
                              "Versione " QN_PROJECT_VERSION,
                              "Il database utilizzato dal programma è in formato Microsoft ® Access 97. "
                              "Per il corretto funzionamento del programma occorre siano presenti i "
                              "files di Microsoft Jet Database Engine 3.51",
                              "Applicazione a 32 bit per Windows ® 9x /ME/NT/XP",
                              "Attenzione! Questo programma viene fornito \"as is\" (così com'è) senza "
                              "nessuna garanzia di funzionamento.\nL 'autore non si assume nessuna "
                              "responsabilità nel caso di  perdite di dati provocate dall'utilizzo di "
                              "questo programma.",
                              frmAbout::AuthorAddress()}));
        QVERIFY(w.cmdEsci->text() == "&Chiudi" && w.cmdEsci->toolTip() == "Esci" && w.cmdEsci->isDefault() &&
                !w.Label2->text().isEmpty() &&
                w.children().indexOf(w.Label1[1]) < w.children().indexOf(w.Label1[0]));
        // The pictures, and cursor 101 over the button and the address.
        for (QLabel* p : {w.Image1, w.imgMylogo, w.Image2})
            QVERIFY2(!p->pixmap().isNull(), qPrintable(p->objectName()));
        const QImage cursor = qn::ui::ButtonCursor().pixmap().toImage();
        QVERIFY(!cursor.isNull() && w.cmdEsci->cursor().pixmap().toImage() == cursor &&
                w.lblEmail->cursor().pixmap().toImage() == cursor);
    }

    void closing_data() {
        QTest::addColumn<int>("key"); // 0: a click
        QTest::addColumn<QString>("target");
        QTest::newRow("Enter") << int(Qt::Key_Enter) << "cmdEsci";
        QTest::newRow("Return") << int(Qt::Key_Return) << "Label6";
        QTest::newRow("Esc su un testo") << int(Qt::Key_Escape) << "lblWarning";
        QTest::newRow("clic") << 0 << "cmdEsci";
        QTest::newRow("indirizzo") << 0 << "lblEmail";
    }
    // Keys and button press cmdEsci; the address sends its link (taken nowhere here, as with no mail
    // program): nothing said, the window closes. A press that ends outside the address is no click.
    void closing() {
        QFETCH(int, key);
        QFETCH(QString, target);
        MessageBoxWatcher boxes;
        DialogDriver driver;
        int clicks = 0;
        driver.onNext("frmAbout", [&](QWidget* shown) {
            auto* w = static_cast<frmAbout*>(shown);
            connect(w->cmdEsci, &QPushButton::clicked, [&] { ++clicks; });
            QTest::mousePress(w->lblEmail, Qt::LeftButton, {}, QPoint(3, 3));
            QTest::mouseRelease(w->lblEmail, Qt::LeftButton, {}, QPoint(-20, 3));
            QVERIFY(w->isVisible());
            QWidget* at = w->findChild<QWidget*>(target);
            key ? QTest::keyClick(at, Qt::Key(key)) : QTest::mouseClick(at, Qt::LeftButton, {}, QPoint(3, 3));
        });
        QTimer::singleShot(10000, &driver, [] { // a window left open fails instead of hanging
            if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) d->done(-1);
        });
        const bool mail = target == "lblEmail";
        QCOMPARE(frmAbout().exec(), mail ? QDialog::Accepted : QDialog::Rejected);
        QTest::qWait(50);
        QVERIFY(driver.done() == 1 && clicks == (mail ? 0 : 1) && boxes.count() == 0);
    }

    // Offscreen keeps no window on top, as Wayland: the switch still toggles flag, tooltip and picture
    // (on a real X server: tst_commands_x11).
    void topMostWhereNoWindowStaysOnTop() {
        ArchiveWindow w;
        QVERIFY(w.open({{"Alfa"}}));
        QPushButton* pin = w.win->chkTopMost;
        QList<QImage> pictures;
        for (int clicks = 0; clicks <= 2; ++clicks) {
            const bool onTop = clicks != 1;
            if (clicks > 0) QTest::mouseClick(pin, Qt::LeftButton);
            const QString tip = onTop ? "Finestra sempre in primo piano" : "Finestra non in primo piano";
            QVERIFY(w.win->windowFlags().testFlag(Qt::WindowStaysOnTopHint) == onTop && w.win->isVisible() &&
                    pin->isChecked() == !onTop && pin->toolTip() == tip && pin->accessibleName() == tip);
            const QIcon::State state = pin->isChecked() ? QIcon::On : QIcon::Off;
            pictures << pin->icon().pixmap(pin->iconSize(), QIcon::Normal, state).toImage();
        }
        // The raised and the pressed picture tell the states apart.
        QVERIFY(!pictures[0].isNull() && pictures[0] != pictures[1] && pictures[0] == pictures[2]);
    }
};

QTEST_MAIN(tst_About)
#include "tst_about.moc"
