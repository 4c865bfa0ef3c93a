#include "tipsdb/CreateDB.h"

#include "engine/Database.h"

namespace CreateDB {
namespace {

struct FieldDef {
    const char* name;
    int type;
    int size;
    long attributes;
};

// Fields in creation order; text and memo fields accept the empty string.
constexpr FieldDef TipsFields[] = {
    {"KeyPrimary", qn::dbLong, 4, qn::dbFixedField | qn::dbAutoIncrField},
    {"Titolo", qn::dbText, 60, qn::dbVariableField},
    {"Procedura", qn::dbMemo, 0, qn::dbVariableField},
    {"Categoria", qn::dbText, 30, qn::dbVariableField},
    {"ChiaveRicerca", qn::dbText, 20, qn::dbVariableField},
    {"Note", qn::dbText, 50, qn::dbVariableField},
    {"Bookmark", qn::dbByte, 1, qn::dbFixedField},
    {"Linguaggio", qn::dbText, 10, qn::dbVariableField},
};

struct IndexDef {
    const char* name;
    const char* field;
    bool primary;
    bool required;
    bool unique;
};

constexpr IndexDef TipsIndexes[] = {
    {"Categoria", "Categoria", false, false, false},
    {"ChiaveRicerca", "ChiaveRicerca", false, false, false},
    {"PrimaryKey", "KeyPrimary", true, true, true},
};

} // namespace

qn::TableDef TipsTableDef() {
    qn::TableDef table(QStringLiteral("TipsTable"));
    for (const FieldDef& def : TipsFields) {
        qn::Field field = table.CreateField(QString::fromLatin1(def.name), def.type, def.size);
        field.Attributes = def.attributes;
        if (def.type == qn::dbText || def.type == qn::dbMemo) field.AllowZeroLength = true;
        table.Fields.Append(field);
    }
    for (const IndexDef& def : TipsIndexes) {
        qn::Index index = table.CreateIndex(QString::fromLatin1(def.name));
        index.Fields.Append(index.CreateField(QString::fromLatin1(def.field)));
        index.Primary = def.primary;
        index.Required = def.required;
        index.Unique = def.unique;
        table.Indexes.Append(index);
    }
    return table;
}

bool CreateTipsDatabase(const QString& path) {
    try {
        auto db = qn::DBEngine::Workspaces(0).CreateDatabase(path, QString::fromLatin1(TipsLocale));
        db->Close();
    } catch (const qn::EngineError&) {
        return false;
    }
    return CreateTipsTable(path);
}

bool CreateTipsTable(const QString& path) {
    try {
        auto db = qn::DBEngine::OpenDatabase(path);
        db->TableDefs().Append(TipsTableDef());
        db->Close();
        return true;
    } catch (const qn::EngineError&) {
        return false;
    }
}

} // namespace CreateDB
