// Start-up and the small routines several windows share.
#include "startup/GenericBas.h"

#include "mainwindow/frmTips.h"
#include "startup/MessageBox.h"
#include "startup/Platform.h"
#include "tipsdb/CreateDB.h"
#include "tipsdb/TipsSql.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QWidget>
#include <QWindow>

namespace GenericBas {

QString DatabasePath;
std::unique_ptr<qn::Database> TipsDatabase;
std::unique_ptr<qn::Recordset> TipsRecordset;

namespace {

const QString DefaultDatabaseName = QStringLiteral("Quillnote.mdb");
const QString DatabaseExtension = QStringLiteral(".mdb");

std::unique_ptr<frmTips> g_tipsWindow;
std::unique_ptr<QLockFile> g_singleCopyLock;
std::unique_ptr<QLocalServer> g_raiseServer;

// Beside the lock: where a second copy asks the running one to show its window.
QString RaiseChannel(const QString& folder) {
    return QDir(folder).filePath(QStringLiteral("quillnote.sock"));
}
const QByteArray RaiseRequest = QByteArrayLiteral("raise\n");

// Brings the running copy's window (or the modal window in front of it) to the front.
void RaiseTipsWindow() {
    if (!g_tipsWindow || !g_tipsWindow->isVisible())
        return;
    QWidget* front = QApplication::activeModalWidget() ? QApplication::activeModalWidget() : g_tipsWindow.get();
    for (QWidget* w : {static_cast<QWidget*>(g_tipsWindow.get()), front}) {
        w->setWindowState(w->windowState() & ~Qt::WindowMinimized);
        w->raise();
    }
    front->activateWindow();
}

// The running copy answers raise requests; nothing else can be asked of it, so no command line
// of another copy ever opens or changes an archive here.
void ListenForRaiseRequests(const QString& folder) {
    auto server = std::make_unique<QLocalServer>();
    server->setSocketOptions(QLocalServer::UserAccessOption);
    const QString name = RaiseChannel(folder);
    QLocalServer::removeServer(name); // left by a copy that died: we hold the lock now
    if (!server->listen(name))
        return;
    QLocalServer* s = server.get();
    QObject::connect(s, &QLocalServer::newConnection, s, [s] {
        while (QLocalSocket* client = s->nextPendingConnection()) {
            QObject::connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            QObject::connect(client, &QLocalSocket::readyRead, client, [client] {
                if (client->read(RaiseRequest.size()) == RaiseRequest)
                    RaiseTipsWindow();
                client->disconnectFromServer();
            });
        }
    });
    g_raiseServer = std::move(server);
}

// A second copy stays silent and windowless: it only asks the first one to come forward.
void AskRunningCopyToRaise(const QString& folder) {
    QLocalSocket socket;
    socket.connectToServer(RaiseChannel(folder));
    if (!socket.waitForConnected(1000))
        return;
    socket.write(RaiseRequest);
    socket.waitForBytesWritten(1000);
    if (socket.state() == QLocalSocket::ConnectedState)
        socket.waitForDisconnected(1000);
}

// True when another copy of the program holds the lock in `folder`. A lock left behind by a
// copy that died is recognised as stale and taken over; when no lock can be made at all the
// program starts anyway.
bool AnotherCopyRunning(const QString& folder) {
    if (folder.isEmpty())
        return false;
    auto lock = std::make_unique<QLockFile>(QDir(folder).filePath(QStringLiteral("quillnote.lock")));
    lock->setStaleLockTime(0); // held for the whole run: only a dead owner makes it stale
    if (lock->tryLock(0)) {
        g_singleCopyLock = std::move(lock);
        return false;
    }
    return lock->error() == QLockFile::LockFailedError;
}

bool IsSeparator(QChar c) {
#ifdef Q_OS_WIN
    return c == QLatin1Char('\\') || c == QLatin1Char('/');
#else
    return c == QLatin1Char('/');
#endif
}

// Position of the last path separator, -1 when there is none.
qsizetype LastSeparator(const QString& path) {
    for (qsizetype i = path.size() - 1; i >= 0; --i) {
        if (IsSeparator(path.at(i)))
            return i;
    }
    return -1;
}

// The archive named on the command line, or "" when the default one is to be used.
QString CommandLineDatabase(const QStringList& arguments, const QString& appFolder) {
    QString text = arguments.join(QLatin1Char(' '));
    if (text.isEmpty())
        return {};
    // A leading "/" is the old switch character, but on Unix it also starts every absolute
    // path: a text naming an existing file is taken as it stands.
    const bool switchChar = text.startsWith(QLatin1Char('/'));
#ifdef Q_OS_UNIX
    if (switchChar && !FileExists(text))
        text = text.mid(1).trimmed();
#else
    if (switchChar)
        text = text.mid(1).trimmed();
#endif
    if (!text.endsWith(DatabaseExtension, Qt::CaseSensitive))
        return {};
    if (FolderOf(text).isEmpty())
        text.prepend(appFolder);
    return FileExists(text) ? text : QString();
}

// Where a bare name and the default archive are looked for, as the usage text says it.
QString ArchiveFolderText() {
    if (qn::platform::BuiltArchiveFolder() == qn::platform::ArchiveFolder::UserData)
        return QStringLiteral("nella cartella dei dati dell'utente,\n~/.local/share/Quillnote");
    return QStringLiteral("nella cartella del programma,\n"
                          "o in ~/.local/share/Quillnote se quella non \u00e8 scrivibile");
}

bool LoadTipsWindow() {
    TipsWindow()->Form_Load();
    return true;
}

} // namespace

bool Main(const QStringList& arguments) {
    return Main(arguments, {});
}

bool Main(const QStringList& arguments, const StartupOptions& options) {
    qn::platform::LoadQtTranslations();
    qn::platform::UseItalianLocale();
    const QString lockFolder = options.lockFolder.isEmpty() ? TempFolder() : options.lockFolder;
    if (AnotherCopyRunning(lockFolder)) {
        AskRunningCopyToRaise(lockFolder);
        return false;
    }
    if (g_singleCopyLock)
        ListenForRaiseRequests(lockFolder);

    const bool engine = options.engineAvailable ? options.engineAvailable() : IsJetInstalled();
    if (!engine) {
        g_raiseServer.reset();
        qn::ui::ShowMessage(nullptr,
                            QStringLiteral("Impossibile eseguire il programma!\n"
                                           "Nel sistema non sono presenti i file Microsoft Jet 3.5 Engines\n"
                                           "Installare le librerie (dll) necessarie e riprovare."),
                            QMessageBox::Critical);
        g_singleCopyLock.reset();
        return false;
    }

    const QString appFolder = options.appFolder.isEmpty()
                                  ? qn::platform::ApplicationFolder()
                                  : qn::platform::WithTrailingSeparator(options.appFolder);

    const QString named = CommandLineDatabase(arguments, appFolder);
    if (!named.isEmpty()) {
        DatabasePath = named;
        return LoadTipsWindow();
    }

    DatabasePath = appFolder + DefaultDatabaseName;
    if (FileExists(DatabasePath) || CreateDB::CreateTipsDatabase(DatabasePath))
        return LoadTipsWindow();

    g_raiseServer.reset();
    qn::ui::ShowMessage(nullptr, QStringLiteral("Errore nella creazione del nuovo database"), QMessageBox::Critical);
    g_singleCopyLock.reset();
    return false;
}

QString InformationText(const QStringList& arguments) {
    if (arguments == QStringList{QStringLiteral("--version")})
        return QStringLiteral("Quillnote %1.%2.%3\n")
            .arg(QN_VERSION_MAJOR)
            .arg(QN_VERSION_MINOR)
            .arg(QN_VERSION_PATCH);
    if (arguments != QStringList{QStringLiteral("--help")})
        return {};
    return QStringLiteral("Uso: quillnote [ARCHIVIO.mdb]\n"
                          "     quillnote --help | --version\n"
                          "\n"
                          "Quillnote conserva un archivio di tips di programmazione.\n"
                          "Apre ARCHIVIO.mdb, se il file esiste (l'estensione va scritta in minuscolo);\n"
                          "altrimenti apre l'archivio predefinito Quillnote.mdb, e lo crea se manca.\n"
                          "Un nome senza cartella e l'archivio predefinito stanno %1.\n"
                          "\n"
                          "  --help     mostra questo testo ed esce\n"
                          "  --version  mostra la versione ed esce\n")
        .arg(ArchiveFolderText());
}

frmTips* TipsWindow() {
    if (!g_tipsWindow)
        g_tipsWindow = std::make_unique<frmTips>();
    return g_tipsWindow.get();
}

void Shutdown() {
    // A window still open unloads as it would when closed.
    if (g_tipsWindow && g_tipsWindow->isVisible())
        g_tipsWindow->close();
    g_tipsWindow.reset();
    TipsRecordset.reset();
    TipsDatabase.reset();
    g_raiseServer.reset();
    g_singleCopyLock.reset();
}

bool IsJetInstalled() {
    return qn::DBEngine::IsAvailable();
}

bool FileExists(const QString& path) {
    // Only the file's attributes are read: opening and closing a descriptor of an archive the
    // engine has open would drop the engine's locks on it.
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && info.isFile() && info.isReadable();
}

void SetTopMost(QWidget* form, bool onTop) {
    if (!form)
        return;
    Qt::WindowFlags flags = form->windowFlags();
    flags.setFlag(Qt::WindowStaysOnTopHint, onTop);
    QWindow* window = form->windowHandle();
    if (!window) {
        // No native window yet: it will be made with the flag.
        form->setWindowFlags(flags);
        return;
    }
    // QWidget::setWindowFlags would destroy and remake the native window, which the window
    // manager may then place elsewhere. The existing window takes the flag as it is: on X11 the
    // manager is asked to add or remove its "above" state, nothing moves or resizes, and where
    // the platform keeps no window on top the flag is merely recorded.
    form->overrideWindowFlags(flags);
    window->setFlags(flags);
}

QString FileNameOf(const QString& path) {
    const qsizetype at = LastSeparator(path);
    return at < 0 ? QString() : path.mid(at + 1);
}

QString FolderOf(const QString& path) {
    const qsizetype at = LastSeparator(path);
    return at < 0 ? QString() : path.left(at + 1);
}

QString TempFolder() {
    QString base = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (base.isEmpty())
        base = QStandardPaths::writableLocation(QStandardPaths::TempLocation);
    return qn::platform::PrivateFolder(base);
}

QString QuoteSql(const QString& text) {
    return tipsdb::QuoteSql(text);
}

} // namespace GenericBas
