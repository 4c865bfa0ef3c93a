#pragma once
// Creation of a new tips archive: an empty file holding TipsTable with its fields and indexes.

#include "engine/TableDef.h"

#include <QString>

namespace CreateDB {

// True when the file at `path` was created and TipsTable was added to it. Shows nothing;
// every failure (file exists, folder missing or read-only, disk full) is the result false,
// and an existing file is never touched.
bool CreateTipsDatabase(const QString& path);
// Opens the new file and adds TipsTable; called by CreateTipsDatabase.
bool CreateTipsTable(const QString& path);

// TipsTable as every new archive holds it: eight fields and three indexes.
qn::TableDef TipsTableDef();

// The locale and code-page string new archives are created with.
inline constexpr const char* TipsLocale = ";LANGID=0x0409;CP=1252;COUNTRY=0";

} // namespace CreateDB
