#pragma once
// A print server of the test's own: cupsd started in a temporary folder (its configuration,
// spool and a Unix socket there), with one cups-pdf queue as the default, whose PDF files land
// in outFolder(). The test process talks to it through CUPS_SERVER, set by start() before any
// print call of the process. The server is stopped, and the queue's settings file removed,
// however the test ends (also when the test process dies: the server gets SIGTERM then).
//
// The cups-pdf backend runs only as root, and reads its settings from /etc/cups alone: one file
// cups-pdf-<instance>.conf there, named for this run, points it at the temporary folder.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <cstring>
#include <grp.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

class PrivateCups {
public:
    static constexpr const char* Queue = "QuillnotePDF";

    ~PrivateCups() { stop(); }

    // "" when the server runs with its queue as the default, else what went wrong.
    QString start() {
        if (::geteuid() != 0) return QStringLiteral("the cups-pdf backend runs only as root");
        for (const char* tool :
             {"/usr/sbin/cupsd", "/usr/sbin/lpadmin", "/usr/lib/cups/backend/cups-pdf", Ppd})
            if (!QFile::exists(QString::fromLatin1(tool)))
                return QStringLiteral("%1 missing: run scripts/install-deps.sh").arg(QLatin1String(tool));
        if (!m_root.isValid()) return QStringLiteral("no temporary folder");
        // The filters run as user lp: they must reach the folder, its spool and its temporary folder.
        QFile::setPermissions(m_root.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                 QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                                 QFile::ExeOther);
        for (const char* d : {"state", "cache", "ppd", "spool", "tmp", "out", "cups-pdf"})
            QDir(m_root.path()).mkdir(QString::fromLatin1(d));
        if (const group* lp = ::getgrnam("lp"))
            if (::chown(QFile::encodeName(path("tmp")).constData(), 0, lp->gr_gid) != 0) return "chown tmp";
        ::chmod(QFile::encodeName(path("tmp")).constData(), 01770);

        write("cupsd.conf",
              "LogLevel warn\nListen " + path("cups.sock") +
                  "\nBrowsing No\nWebInterface No\nDefaultAuthType None\nErrorPolicy abort-job\n"
                  "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                  "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n</Policy>\n");
        write("cups-files.conf",
              "ServerRoot " + m_root.path() + "\nStateDir " + path("state") + "\nCacheDir " + path("cache") +
                  "\nRequestRoot " + path("spool") + "\nTempDir " + path("tmp") + "\nErrorLog " +
                  path("error_log") + "\nAccessLog " + path("access_log") + "\nPageLog " + path("page_log") +
                  "\nDataDir /usr/share/cups\nServerBin /usr/lib/cups\nSystemGroup root\n");
        m_instance = QStringLiteral("quillnote-test-%1").arg(QCoreApplication::applicationPid());
        m_instanceConf = QStringLiteral("/etc/cups/cups-pdf-%1.conf").arg(m_instance);
        QFile conf(m_instanceConf);
        if (!conf.open(QIODevice::WriteOnly)) return "cannot write " + m_instanceConf;
        conf.write(QStringLiteral("Out %1\nAnonDirName %1\nSpool %2\nGSTmp %2\nLog %3\n")
                       .arg(outFolder(), path("cups-pdf"), m_root.path())
                       .toUtf8());
        conf.close();

        m_server.setProgram(QStringLiteral("/usr/sbin/cupsd"));
        m_server.setArguments({"-f", "-c", path("cupsd.conf"), "-s", path("cups-files.conf")});
        m_server.setProcessChannelMode(QProcess::MergedChannels);
        m_server.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        m_server.start();
        if (!m_server.waitForStarted(5000)) return "cupsd did not start";
        qputenv("CUPS_SERVER", QFile::encodeName(path("cups.sock")));
        qunsetenv("LPDEST");
        qunsetenv("PRINTER");
        const bool ready = QTest::qWaitFor(
            [&] { return m_server.state() == QProcess::Running && listening(path("cups.sock")); }, 15000);
        if (!ready) return "cupsd not ready: " + QString::fromLocal8Bit(m_server.readAll()) + log();
        for (const QStringList& args :
             {QStringList{"-p", Queue, "-E", "-v", "cups-pdf:/" + m_instance, "-P", Ppd},
              QStringList{"-d", Queue}}) {
            if (const QString error = run("/usr/sbin/lpadmin", args); !error.isEmpty())
                return "lpadmin: " + error;
        }
        return {};
    }

    void stop() {
        if (m_server.state() != QProcess::NotRunning) {
            m_server.terminate();
            if (!m_server.waitForFinished(5000)) {
                m_server.kill();
                m_server.waitForFinished(2000);
            }
        }
        if (!m_instanceConf.isEmpty()) QFile::remove(m_instanceConf);
        m_instanceConf.clear();
    }

    QString outFolder() const { return path("out"); }
    QString log() const {
        QFile f(path("error_log"));
        return f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll().right(2000)) : QString();
    }
    // Runs a CUPS client tool against this server; "" when it succeeded, else its output.
    QString run(const QString& tool, const QStringList& args) const {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(tool, args);
        if (!p.waitForFinished(15000)) return tool + " hung";
        return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0
                   ? QString()
                   : QString::fromLocal8Bit(p.readAll()).trimmed() +
                         QStringLiteral(" (%1)").arg(p.exitCode());
    }
    // Whether the server still holds jobs not completed.
    bool busy() const {
        QProcess p;
        p.start("/usr/bin/lpstat", {"-o"});
        p.waitForFinished(15000);
        return !p.readAllStandardOutput().trimmed().isEmpty();
    }

private:
    // Whether a server accepts connections on the Unix socket.
    static bool listening(const QString& socketPath) {
        const QByteArray name = QFile::encodeName(socketPath);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (name.size() >= qsizetype(sizeof(address.sun_path))) return false;
        std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const bool ok = fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        if (fd >= 0) ::close(fd);
        return ok;
    }

    static constexpr const char* Ppd = "/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd";

    QString path(const char* name) const { return QDir(m_root.path()).filePath(QString::fromLatin1(name)); }
    void write(const char* name, const QString& text) {
        QFile f(path(name));
        if (f.open(QIODevice::WriteOnly)) f.write(text.toUtf8());
    }

    QTemporaryDir m_root;
    QProcess m_server;
    QString m_instance, m_instanceConf;
};
