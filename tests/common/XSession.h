#pragma once
// A private X server (Xvfb) with a window manager (openbox), for the few tests that need what
// only a real desktop does: window-manager states, stacking, placement, URL launchers.
//
//     int main(int argc, char** argv) {
//         XSession x;
//         if (!x.startServer()) return 1;      // before QApplication: sets DISPLAY and xcb
//         QApplication app(argc, argv);
//         if (!x.startWindowManager()) return 1;
//         ...
//         x.stopWindowManager();
//     }
//
// The server takes the first free display (-displayfd), so parallel runs never meet. Both
// programs are killed with the test process, even when it crashes or is killed itself, and
// every wait is bounded: nothing here can hang a test run.

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

class XSession {
public:
    XSession() = default;
    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;

    ~XSession() {
        stopWindowManager();
        if (m_server > 0) {
            ::kill(m_server, SIGTERM);
            if (!reaped(2000)) ::kill(m_server, SIGKILL), reaped(2000);
        }
    }

    // Starts Xvfb and waits (at most 10 s) until it takes connections; then DISPLAY names it
    // and Qt is told to use it.
    bool startServer() {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return fail("pipe");
        const pid_t parent = ::getpid();
        m_server = ::fork();
        if (m_server < 0) return fail("fork");
        if (m_server == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (::getppid() != parent) ::_exit(127);
            ::dup2(fds[1], 3); // without close-on-exec
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1), ::dup2(null, 2);
            ::execlp("Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                     "-noreset", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        QByteArray number;
        QElapsedTimer timer;
        timer.start();
        while (!number.endsWith('\n') && timer.elapsed() < 10000) {
            pollfd p{fds[0], POLLIN, 0};
            if (::poll(&p, 1, 200) <= 0) continue;
            char c;
            if (::read(fds[0], &c, 1) != 1) break; // the server died
            number += c;
        }
        ::close(fds[0]);
        if (!number.endsWith('\n')) return fail("Xvfb did not start (is the xvfb package installed?)");
        m_display = ':' + number.trimmed();
        qputenv("DISPLAY", m_display);
        qputenv("QT_QPA_PLATFORM", "xcb");
        return true;
    }

    // Starts openbox on the server and waits (at most 10 s) until it manages the screen. Its
    // settings and cache go to a folder of the test, not to the user's.
    bool startWindowManager() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), m_home.filePath(QStringLiteral("cache")));
        m_wm.setProcessEnvironment(env);
        m_wm.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_wm.setStandardOutputFile(QProcess::nullDevice());
        m_wm.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        m_wm.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
        if (!m_wm.waitForStarted(5000))
            return fail("openbox did not start (is the openbox package installed?)");
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 10000 && m_wm.state() == QProcess::Running) {
            if (property(QStringLiteral("-root"), "_NET_SUPPORTING_WM_CHECK").contains("window id"))
                return true;
            QThread::msleep(50);
        }
        return fail("openbox does not manage the screen");
    }

    // Before the application goes: the window manager is a QProcess.
    void stopWindowManager() {
        if (m_wm.state() == QProcess::NotRunning) return;
        m_wm.terminate();
        if (!m_wm.waitForFinished(2000)) m_wm.kill(), m_wm.waitForFinished(2000);
    }

    QByteArray display() const { return m_display; }

    // What xprop prints for `property` of a window ("-root", or a window id); "" when xprop
    // failed or took more than 5 s.
    static QString property(const QString& window, const char* property) {
        QProcess xprop;
        QStringList args = window == QLatin1String("-root") ? QStringList{window}
                                                            : QStringList{QStringLiteral("-id"), window};
        xprop.start(QStringLiteral("xprop"), args << QString::fromLatin1(property));
        if (!xprop.waitForFinished(5000)) {
            xprop.kill();
            xprop.waitForFinished(1000);
            return {};
        }
        return QString::fromLatin1(xprop.readAllStandardOutput()).trimmed();
    }

private:
    bool fail(const char* why) {
        std::fprintf(stderr, "XSession: %s\n", why);
        return false;
    }
    bool reaped(int ms) {
        QElapsedTimer timer;
        timer.start();
        do {
            if (::waitpid(m_server, nullptr, WNOHANG) == m_server) return true;
            QThread::msleep(20);
        } while (timer.elapsed() < ms);
        return false;
    }

    pid_t m_server = -1;
    QByteArray m_display;
    QProcess m_wm;
    QTemporaryDir m_home;
};
