#pragma once
// A print server of the test's own: cupsd in a temporary folder (configuration, spool and a Unix
// socket there; the process talks to it through CUPS_SERVER), one cups-pdf queue as the default,
// writing its PDF files into outFolder(). The server gets SIGTERM however the test ends.
//
// The cups-pdf backend runs only as root and reads its settings from /etc/cups alone: one file
// cups-pdf-<instance>.conf there, named for this run, points it at the temporary folder.

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <grp.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

class PrivateCups {
public:
    static constexpr const char* Queue = "QuillnotePDF";

    ~PrivateCups() { stop(); }

    // "" when the server runs with its queue as the default, else what went wrong.
    QString start() {
        if (::geteuid() != 0) return "the cups-pdf backend runs only as root";
        for (const QString tool : {"/usr/sbin/cupsd", "/usr/lib/cups/backend/cups-pdf", Ppd})
            if (!QFile::exists(tool)) return tool + " missing: run scripts/install-deps.sh";
        // The filters run as user lp: they must reach the folder, its spool and its temporary folder.
        ::chmod(QFile::encodeName(m_root.path()).constData(), 0755);
        for (const char* d : {"state", "cache", "ppd", "spool", "tmp", "out", "cups-pdf"})
            QDir(m_root.path()).mkdir(d);
        if (const group* lp = ::getgrnam("lp"))
            if (::chown(QFile::encodeName(path("tmp")).constData(), 0, lp->gr_gid) != 0) return "chown tmp";
        ::chmod(QFile::encodeName(path("tmp")).constData(), 01770);
        write(path("cupsd.conf"),
              "LogLevel warn\nListen " + path("cups.sock") +
                  "\nBrowsing No\nDefaultAuthType None\nErrorPolicy abort-job\n"
                  "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                  "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n</Policy>\n");
        write(path("cups-files.conf"),
              "ServerRoot " + m_root.path() + "\nStateDir " + path("state") + "\nCacheDir " + path("cache") +
                  "\nRequestRoot " + path("spool") + "\nTempDir " + path("tmp") + "\nErrorLog " +
                  path("error_log") + "\nAccessLog " + path("access_log") + "\nPageLog " + path("page_log") +
                  "\nDataDir /usr/share/cups\nServerBin /usr/lib/cups\nSystemGroup root\n");
        const QString instance = QStringLiteral("quillnote-test-%1").arg(QCoreApplication::applicationPid());
        m_instanceConf = "/etc/cups/cups-pdf-" + instance + ".conf";
        if (!write(m_instanceConf, QStringLiteral("Out %1\nAnonDirName %1\nSpool %2\nGSTmp %2\nLog %3\n")
                                       .arg(outFolder(), path("cups-pdf"), m_root.path())))
            return "cannot write " + m_instanceConf;

        m_server.setProcessChannelMode(QProcess::MergedChannels);
        m_server.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        m_server.start("/usr/sbin/cupsd", {"-f", "-c", path("cupsd.conf"), "-s", path("cups-files.conf")});
        qputenv("CUPS_SERVER", QFile::encodeName(path("cups.sock")));
        qunsetenv("LPDEST");
        qunsetenv("PRINTER");
        QString error; // lpadmin fails until the server listens
        const QStringList queue = {"-p", Queue, "-E", "-v", "cups-pdf:/" + instance, "-P", Ppd};
        if (!QTest::qWaitFor([&] { return (error = run("/usr/sbin/lpadmin", queue)).isEmpty(); }, 15000) ||
            !(error = run("/usr/sbin/lpadmin", {"-d", Queue})).isEmpty())
            return "lpadmin: " + error + '\n' + QString::fromLocal8Bit(m_server.readAll()) + log();
        return {};
    }

    void stop() {
        m_server.terminate();
        if (!m_server.waitForFinished(5000)) m_server.kill(), m_server.waitForFinished(2000);
        if (!m_instanceConf.isEmpty()) QFile::remove(m_instanceConf);
    }

    QString outFolder() const { return path("out"); }
    QString log() const {
        QFile f(path("error_log"));
        return f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll().right(2000)) : QString();
    }
    // Runs a CUPS client tool against this server; "" when it succeeded, else its output.
    static QString run(const QString& tool, const QStringList& args) {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(tool, args);
        if (!p.waitForFinished(15000)) return tool + " hung";
        const bool ok = p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
        return ok ? QString()
                  : QString::fromLocal8Bit(p.readAll()).trimmed() + QStringLiteral(" (%1)").arg(p.exitCode());
    }

private:
    static constexpr const char* Ppd = "/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd";

    QString path(const char* name) const { return QDir(m_root.path()).filePath(name); }
    static bool write(const QString& path, const QString& text) {
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.write(text.toUtf8()) == text.toUtf8().size();
    }

    QTemporaryDir m_root;
    QProcess m_server;
    QString m_instanceConf;
};
