#pragma once
// Services of the desktop the start-up code relies on: folders, the single-copy lock and
// Qt's own translations.

#include <QString>

namespace qn::platform {

// The folder of the executable when this user can write there, else the user's data folder
// (created when missing). Always ends in the platform's separator.
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
