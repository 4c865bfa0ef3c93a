#pragma once
// Services of the desktop the start-up code relies on: folders, the single-copy lock and
// Qt's own translations.

#include <QString>

namespace qn::platform {

// Where the default archive and bare command-line names live.
enum class ArchiveFolder {
    ExecutableWhenWritable, // a build folder: beside the executable, else the user's data folder
    UserData                // an installed program: always the user's data folder
};
// The rule this build was made with: UserData when configured with QN_ARCHIVE_IN_DATA_FOLDER.
ArchiveFolder BuiltArchiveFolder();
// The folder `rule` chooses (the data folder is created when missing). Always ends in the
// platform's separator.
QString ApplicationFolder(ArchiveFolder rule);
// ApplicationFolder(BuiltArchiveFolder()).
QString ApplicationFolder();
// `folder` with exactly one trailing separator ("" stays "").
QString WithTrailingSeparator(const QString& folder);
// A folder only this user can enter (mode 0700, owned by us), created when missing and
// returned with a trailing separator; "" when no such folder can be had.
QString PrivateFolder(const QString& base);
// Loads Qt's Italian texts (buttons of message boxes, file dialogs) once per process.
void LoadQtTranslations();
// Makes Italian the default locale, so dates, sizes and numbers shown by Qt read as Italian.
void UseItalianLocale();

} // namespace qn::platform
