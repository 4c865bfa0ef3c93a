// On a real X server with a window manager: the "above" switch keeping place and size, the About
// window modal above the window on top, and its mail link as a recording xdg-open receives it.
#include "DialogDriver.h"
#include "EngineFixture.h"
#include "TestArchive.h"
#include "XSession.h"
#include "about/frmAbout.h"

#include <QtTest>

namespace {

QString id(const QWidget* w) {
    return "0x" + QString::number(w->winId(), 16);
}
bool above(const QWidget* w) {
    return XSession::output("xprop", {"-id", id(w), "_NET_WM_STATE"}).contains("_NET_WM_STATE_ABOVE");
}
// Client windows from bottom to top, as the window manager stacks them.
QStringList stacking() {
    QString ids = XSession::output("xprop", {"-root", "_NET_CLIENT_LIST_STACKING"}).section('#', 1);
    return ids.remove(' ').trimmed().split(',', Qt::SkipEmptyParts);
}

} // namespace

class tst_CommandsX11 : public QObject {
    Q_OBJECT

private slots:
    void switchAboutAndMailLink() {
        QTemporaryDir bin; // a launcher that writes down what it was given, beside itself
        QFile launcher(bin.filePath("xdg-open"));
        QVERIFY(launcher.open(QIODevice::WriteOnly) &&
                launcher.write("#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.txt\"\n") > 0);
        launcher.close();
        QVERIFY(launcher.setPermissions(QFile::ReadOwner | QFile::ExeOwner));
        qputenv("PATH", bin.path().toUtf8() + ':' + qgetenv("PATH"));

        ArchiveWindow w;
        QVERIFY(w.open({{"Alfa"}, {"Beta"}}));
        frmTips& win = *w.win;
        QVERIFY(QTest::qWaitForWindowActive(&win));
        QTRY_VERIFY(above(&win));
        const QString place = XSession::output("xwininfo", {"-id", id(&win)});
        QVERIFY(place.contains("Absolute upper-left X"));
        for (bool onTop : {false, true, false, true}) {
            win.cboSelectResearch->setFocus(); // the switch gives it to txtdb(0)
            QTest::mouseClick(win.chkTopMost, Qt::LeftButton);
            QTRY_COMPARE(above(&win), onTop);
            QTest::qWait(100); // time for a move the manager might make after the change
            QCOMPARE(XSession::output("xwininfo", {"-id", id(&win)}), place);
            QVERIFY(win.isActiveWindow() && win.FieldBox(0)->hasFocus());
        }

        // The About window stands above the window on top, which takes no input meanwhile (Esc would
        // close it, cmdSposta(2) show the next tip) and is available again after, the focus where it
        // was. A click on the address hands the link on and closes the About window.
        win.txtProcedura->setFocus();
        int result = -3;
        DialogDriver driver;
        driver.onNext("frmAbout", [&](QWidget* about) {
            connect(static_cast<QDialog*>(about), &QDialog::finished, [&](int r) { result = r; });
            QTRY_VERIFY(stacking().indexOf(id(about)) > stacking().indexOf(id(&win)));
            QTest::mouseClick(win.cmdSposta[2], Qt::LeftButton);
            QTest::keyClick(&win, Qt::Key_Escape);
            QVERIFY(above(about) && !win.isEnabled() && win.isVisible() && w.counter() == "1  di  2");
            QTest::mouseClick(static_cast<frmAbout*>(about)->lblEmail, Qt::LeftButton);
        });
        QTimer::singleShot(10000, &driver, [] { // a window left open fails instead of hanging
            if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) d->done(-1);
        });
        win.cmdAbout->click();
        QVERIFY(result == QDialog::Accepted && win.isEnabled());
        QTRY_COMPARE(QApplication::focusWidget(), win.txtProcedura);
        QTRY_VERIFY(stacking().endsWith(id(&win)));
        // One argument, the link with the blanks of its subject ("Quillnote Versione x.y.z") as %20.
        QTRY_COMPARE(QString(EngineFixture::fileBytes(bin.filePath("xdg-open.txt"))),
                     "mailto:" + frmAbout::AuthorAddress() +
                         "?Subject=Quillnote%20Versione%20" QN_PROJECT_VERSION "\n");
    }
};

int main(int argc, char** argv) {
    XSession x; // before the application, which it points at its server
    if (!x.start()) return 1;
    QApplication app(argc, argv);
    tst_CommandsX11 test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_commands_x11.moc"
