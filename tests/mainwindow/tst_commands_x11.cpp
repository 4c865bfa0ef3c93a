// The window commands on a real X server with a window manager (a private Xvfb and openbox):
// the manager's "above" state follows the switch while the window keeps its place and size,
// the About window stands above the main window kept on top, and its mail link reaches the
// desktop's launcher (a recording xdg-open first on PATH) with its subject encoded.
#include "DialogDriver.h"
#include "TestArchive.h"
#include "XSession.h"
#include "about/frmAbout.h"

#include <QtTest>

namespace {

QString id(const QWidget* w) {
    return QString::number(w->winId());
}

bool above(const QWidget* w) {
    return XSession::property(id(w), "_NET_WM_STATE").contains(QLatin1String("_NET_WM_STATE_ABOVE"));
}

// The window's place on the screen and its size, as the X server has them.
QString placeOnServer(const QWidget* w) {
    QProcess info;
    info.start(QStringLiteral("xwininfo"), {QStringLiteral("-id"), id(w)});
    if (!info.waitForFinished(5000)) return QStringLiteral("xwininfo non risponde");
    QStringList place;
    for (const QString& line : QString::fromLatin1(info.readAllStandardOutput()).split(QLatin1Char('\n')))
        if (line.contains(QLatin1String("Absolute upper-left")) || line.contains(QLatin1String("Width:")) ||
            line.contains(QLatin1String("Height:")))
            place << line.section(QLatin1Char(':'), 1).trimmed();
    return place.join(QLatin1Char(' '));
}

// Client windows from bottom to top, as the window manager stacks them.
QStringList stacking() {
    const QString list = XSession::property(QStringLiteral("-root"), "_NET_CLIENT_LIST_STACKING");
    QStringList ids;
    for (const QString& hex : list.section(QLatin1Char('#'), 1).split(QLatin1Char(','), Qt::SkipEmptyParts))
        ids << QString::number(hex.trimmed().toULongLong(nullptr, 16));
    return ids;
}

// Opens the About window from the main window; `action` runs while it is up and must close it.
void withAbout(frmTips& win, const std::function<void(frmAbout*)>& action) {
    DialogDriver driver;
    driver.onNext("frmAbout", [&](QWidget* about) { action(static_cast<frmAbout*>(about)); });
    QTimer guard; // a window left open fails the test instead of hanging it
    guard.callOnTimeout([] {
        if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) d->done(-1);
    });
    guard.start(10000);
    win.cmdAbout->click();
}

} // namespace

class tst_CommandsX11 : public QObject {
    Q_OBJECT

private slots:
    void aboveStateFollowsTheSwitch() {
        ArchiveWindow w;
        QVERIFY(w.open({{"Alfa"}}));
        frmTips& win = *w.win;
        QVERIFY(QTest::qWaitForWindowActive(&win));
        QTRY_VERIFY(above(&win));
        const QString place = placeOnServer(&win);
        const QRect frame = win.frameGeometry();
        QVERIFY(!place.isEmpty());
        for (bool onTop : {false, true, false, true}) {
            QTest::mouseClick(win.chkTopMost, Qt::LeftButton);
            QTRY_COMPARE(above(&win), onTop);
            // Give the manager time for a move it might make after the change.
            QTest::qWait(100);
            QCOMPARE(placeOnServer(&win), place);
            QCOMPARE(win.frameGeometry(), frame);
            QVERIFY(win.isActiveWindow() && win.FieldBox(0)->hasFocus());
        }
    }

    void aboutStandsAboveTheWindowOnTop() {
        ArchiveWindow w;
        QVERIFY(w.open({{"Alfa"}}));
        frmTips& win = *w.win;
        QVERIFY(QTest::qWaitForWindowActive(&win));
        QTRY_VERIFY(above(&win));
        QString order;
        withAbout(win, [&](frmAbout* about) {
            const bool listed = QTest::qWaitFor([&] { return stacking().contains(id(about)); }, 5000);
            const QStringList ids = stacking();
            order = listed && ids.indexOf(id(about)) > ids.indexOf(id(&win)) ? "sopra" : "sotto";
            order += above(about) ? " above" : "";
            about->cmdEsci->click();
        });
        QCOMPARE(order, "sopra above");
        QTRY_VERIFY(!stacking().isEmpty() && stacking().last() == id(&win));
    }

    void mailLinkReachesTheLauncher() {
        QTemporaryDir bin;
        const QString record = bin.filePath(QStringLiteral("ricevuto.txt"));
        QFile launcher(bin.filePath(QStringLiteral("xdg-open")));
        QVERIFY(launcher.open(QIODevice::WriteOnly));
        launcher.write(("#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + record + ".part' && mv '" + record +
                        ".part' '" + record + "'\n")
                           .toUtf8());
        launcher.close();
        QVERIFY(launcher.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        qputenv("PATH", bin.path().toUtf8() + ':' + qgetenv("PATH"));

        ArchiveWindow w;
        QVERIFY(w.open({{"Alfa"}}));
        QVERIFY(QTest::qWaitForWindowActive(w.win.get()));
        QString version;
        bool closed = false;
        withAbout(*w.win, [&](frmAbout* about) {
            version = about->lblVersione->text();
            connect(about, &QDialog::finished, [&] { closed = true; });
            QTest::mouseClick(about->lblEmail, Qt::LeftButton);
        });
        QVERIFY(closed);
        QTRY_VERIFY(QFile::exists(record));
        QFile file(record);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList args =
            QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        // One argument, the link with its blanks encoded; decoded, the subject the mail program shows.
        QCOMPARE(args.size(), 1);
        QVERIFY2(!args[0].contains(QLatin1Char(' ')) && args[0].contains("%20"), qPrintable(args[0]));
        const QUrl link(args[0], QUrl::StrictMode);
        QVERIFY(link.isValid() && link.scheme() == "mailto" && link.path() == frmAbout::AuthorAddress());
        QCOMPARE(version, QStringLiteral("Versione ") + QStringLiteral(QN_PROJECT_VERSION));
        QCOMPARE(QUrlQuery(link).queryItemValue("Subject", QUrl::FullyDecoded), "Quillnote " + version);
    }
};

int main(int argc, char** argv) {
    XSession x;
    if (!x.startServer()) return 1;
    int result = 1;
    {
        QApplication app(argc, argv);
        if (x.startWindowManager()) {
            tst_CommandsX11 test;
            result = QTest::qExec(&test, argc, argv);
        }
        x.stopWindowManager();
    }
    return result;
}

#include "tst_commands_x11.moc"
