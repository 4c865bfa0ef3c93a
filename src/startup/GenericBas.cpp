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
    const bool visible = form->isVisible();
    form->setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    // Changing a flag hides the window; it comes back where it was.
    if (visible)
        form->show();
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
