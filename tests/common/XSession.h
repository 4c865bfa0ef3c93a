#pragma once
// A private X server (Xvfb) with a window manager (openbox) for tests that need a real desktop.
// start() comes before QApplication and points DISPLAY and Qt at it. Both die with the test process,
// even when it is killed, and every wait is bounded.
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

class XSession {
public:
    ~XSession() {
        for (QProcess* p : {&m_wm, &m_server})
            p->terminate(), p->waitForFinished(2000); // what still runs, QProcess kills
    }

    bool start() {
        for (QProcess* p : {&m_server, &m_wm}) {
            p->setChildProcessModifier([parent = ::getpid()] {
                ::prctl(PR_SET_PDEATHSIG, SIGKILL);
                if (::getppid() != parent) ::_exit(127);
            });
            p->setStandardErrorFile(QProcess::nullDevice());
        }
        // The server writes its display number on its output once it takes connections.
        m_server.start("Xvfb",
                       {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset"});
        QByteArray number;
        while (!number.endsWith('\n') && m_server.waitForReadyRead(10000))
            number += m_server.readAllStandardOutput();
        if (!number.endsWith('\n')) return qWarning("XSession: Xvfb did not start"), false;
        qputenv("DISPLAY", ':' + number.trimmed());
        qputenv("QT_QPA_PLATFORM", "xcb");
        for (const char* var : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME"}) // openbox's, not the user's
            qputenv(var, m_home.path().toUtf8());
        m_wm.setStandardOutputFile(QProcess::nullDevice());
        m_wm.start("openbox", {"--sm-disable"});
        for (int i = 0; i < 200; ++i, QThread::msleep(50))
            if (output("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"}).contains("window id")) return true;
        return qWarning("XSession: openbox does not manage the screen"), false;
    }

    // What `program` prints; "" when it fails to run or takes more than 5 s.
    static QString output(const QString& program, const QStringList& args) {
        QProcess p; // its destructor kills what is still running
        p.start(program, args);
        return p.waitForFinished(5000) ? QString::fromLatin1(p.readAllStandardOutput()) : QString();
    }

private:
    QProcess m_server, m_wm;
    QTemporaryDir m_home;
};
