#include "startup/Platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QStandardPaths>
#include <QTranslator>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace qn::platform {

QString WithTrailingSeparator(const QString& folder) {
    if (folder.isEmpty())
        return folder;
    const QString native = QDir::toNativeSeparators(folder);
    return native.endsWith(QDir::separator()) ? native : native + QDir::separator();
}

ArchiveFolder BuiltArchiveFolder() {
#ifdef QN_ARCHIVE_IN_DATA_FOLDER
    return ArchiveFolder::UserData;
#else
    return ArchiveFolder::ExecutableWhenWritable;
#endif
}

QString ApplicationFolder() {
    return ApplicationFolder(BuiltArchiveFolder());
}

QString ApplicationFolder(ArchiveFolder rule) {
    // An installed program never writes beside itself, even where it could (/usr/bin for root):
    // the archive is the user's, and the package manager owns the program's folder.
    if (rule == ArchiveFolder::ExecutableWhenWritable) {
        const QString exeFolder = QCoreApplication::applicationDirPath();
        const QFileInfo info(exeFolder);
        if (!exeFolder.isEmpty() && info.isDir() && info.isWritable())
            return WithTrailingSeparator(exeFolder);
    }
    // Installed in a system folder: the archive lives with the user's data instead.
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(data);
    return WithTrailingSeparator(data);
}

QString PrivateFolder(const QString& base) {
    if (base.isEmpty())
        return {};
#ifdef Q_OS_UNIX
    const uid_t uid = getuid();
    const QString path = QDir(base).filePath(QStringLiteral("quillnote-%1").arg(uid));
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return {};
    // The folder must be ours and closed to others; a planted folder or link is refused.
    struct stat st {};
    if (::lstat(native.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != uid)
        return {};
    if ((st.st_mode & 0077) != 0 && ::chmod(native.constData(), 0700) != 0)
        return {};
    return WithTrailingSeparator(path);
#else
    const QString path = QDir(base).filePath(QStringLiteral("quillnote"));
    if (!QDir().mkpath(path))
        return {};
    return WithTrailingSeparator(path);
#endif
}

void UseItalianLocale() {
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
}

void LoadQtTranslations() {
    static bool loaded = false;
    if (loaded || !QCoreApplication::instance())
        return;
    loaded = true;
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(QStringLiteral("qtbase_it"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
    else
        delete translator;
}

} // namespace qn::platform
