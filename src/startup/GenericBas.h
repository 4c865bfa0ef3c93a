#pragma once
// Program-wide variables and the small routines that several windows share.

#include "engine/Database.h"

#include <QString>
#include <memory>

class QWidget;

namespace GenericBas {

// Full path of the archive in use; empty while none is.
extern QString DatabasePath;
// The open archive and the view shown in the main window.
extern std::unique_ptr<qn::Database> TipsDatabase;
extern std::unique_ptr<qn::Recordset> TipsRecordset;

// Start-up: refuses a second copy, checks the engine, chooses or creates the archive and loads
// the main window. Returns true when the main window was loaded (the caller then runs the event loop).
bool Main(const QStringList& arguments);

bool IsJetInstalled();
bool FileExists(const QString& path);
void SetTopMost(QWidget* form, bool onTop);
QString FileNameOf(const QString& path);
QString FolderOf(const QString& path);
QString TempFolder();
QString QuoteSql(const QString& text);

} // namespace GenericBas
