#include "tipsdb/CreateDB.h"

#include "engine/Database.h"

namespace CreateDB {
namespace {

struct FieldSpec {
    const char* name;
    int type;
    int size;
    long attributes;
};

// Fields in creation order; text and memo fields accept the empty string.
constexpr FieldSpec TipsFields[] = {
    {"KeyPrimary", qn::dbLong, 4, qn::dbFixedField | qn::dbAutoIncrField},
    {"Titolo", qn::dbText, 60, qn::dbVariableField},
    {"Procedura", qn::dbMemo, 0, qn::dbVariableField},
    {"Categoria", qn::dbText, 30, qn::dbVariableField},
    {"ChiaveRicerca", qn::dbText, 20, qn::dbVariableField},
    {"Note", qn::dbText, 50, qn::dbVariableField},
    {"Bookmark", qn::dbByte, 1, qn::dbFixedField},
    {"Linguaggio", qn::dbText, 10, qn::dbVariableField},
};

struct IndexSpec {
    const char* name;
    const char* field;
    bool primary;
    bool required;
    bool unique;
};

constexpr IndexSpec TipsIndexes[] = {
    {"Categoria", "Categoria", false, false, false},
    {"ChiaveRicerca", "ChiaveRicerca", false, false, false},
    {"PrimaryKey", "KeyPrimary", true, true, true},
};

qn::TableDef tipsTableDef(const qn::Database& db) {
    qn::TableDef table = db.CreateTableDef(QStringLiteral("TipsTable"));
    for (const FieldSpec& spec : TipsFields) {
        qn::Field field = table.CreateField(QString::fromLatin1(spec.name), spec.type, spec.size);
        field.Attributes = spec.attributes;
        if (spec.type == qn::dbText || spec.type == qn::dbMemo) field.AllowZeroLength = true;
        table.Fields.Append(field);
    }
    for (const IndexSpec& spec : TipsIndexes) {
        qn::Index index = table.CreateIndex(QString::fromLatin1(spec.name));
        index.Fields.Append(index.CreateField(QString::fromLatin1(spec.field)));
        index.Primary = spec.primary;
        index.Required = spec.required;
        index.Unique = spec.unique;
        table.Indexes.Append(index);
    }
    return table;
}

} // namespace

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
        db->TableDefs().Append(tipsTableDef(*db));
        db->Close();
        return true;
    } catch (const qn::EngineError&) {
        return false;
    }
}

} // namespace CreateDB
