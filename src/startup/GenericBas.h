#pragma once
// Program-wide variables and the small routines that several windows share.

#include "engine/Database.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QWidget;
class frmTips;

namespace GenericBas {

// Full path of the archive in use; empty while none is.
extern QString DatabasePath;
// The open archive and the view shown in the main window.
extern std::unique_ptr<qn::Database> TipsDatabase;
extern std::unique_ptr<qn::Recordset> TipsRecordset;

// Start-up: refuses a second copy, checks the engine, chooses or creates the archive and loads
// the main window. Returns true when the main window was loaded (the caller then runs the event loop).
// `arguments` are the command-line arguments after the program's name.
bool Main(const QStringList& arguments);

// What Main takes from its surroundings; tests run it in a folder of their own.
struct StartupOptions {
    QString appFolder;                     // "" = ApplicationFolder()
    QString lockFolder;                    // "" = TempFolder()
    std::function<bool()> engineAvailable; // empty = IsJetInstalled
};
bool Main(const QStringList& arguments, const StartupOptions& options);

// The text printed for the command line "--help" or "--version" (exactly one of them, nothing
// else), ending in a line feed; "" for every other command line, which Main handles.
// Needs no QCoreApplication: the program answers before it connects to a display.
QString InformationText(const QStringList& arguments);

// The main window, created on first use; one for the whole program.
frmTips* TipsWindow();
// Ends the program's state: destroys the main window, closes the archive and releases the
// single-copy lock. Called after the event loop (and by tests between runs).
void Shutdown();

bool IsJetInstalled();
bool FileExists(const QString& path);
void SetTopMost(QWidget* form, bool onTop);
QString FileNameOf(const QString& path);
QString FolderOf(const QString& path);
QString TempFolder();
QString QuoteSql(const QString& text);

} // namespace GenericBas
