// Start-up and the small routines several windows share.
#include "startup/GenericBas.h"

#include "mainwindow/frmTips.h"
#include "startup/MessageBox.h"
#include "startup/Platform.h"
#include "tipsdb/CreateDB.h"
#include "tipsdb/TipsSql.h"

#include <QDir>
#include <QFileInfo>
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
    if (AnotherCopyRunning(options.lockFolder.isEmpty() ? TempFolder() : options.lockFolder))
        return false;

    const bool engine = options.engineAvailable ? options.engineAvailable() : IsJetInstalled();
    if (!engine) {
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

    qn::ui::ShowMessage(nullptr, QStringLiteral("Errore nella creazione del nuovo database"), QMessageBox::Critical);
    g_singleCopyLock.reset();
    return false;
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
