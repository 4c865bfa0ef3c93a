#include "tipsdb/Compatibility.h"

#include "engine/Database.h"
#include "tipsdb/TipsSql.h"

#include <utility>

namespace tipsdb {

bool HasTipsTable(qn::Database& db) {
    const qn::TableDefsCollection tables = db.TableDefs();
    for (const qn::TableDef& table : tables) {
        if (table.Name == TableName) // case-sensitive on purpose
            return true;
    }
    return false;
}

bool HasTipsFieldNames(const QStringList& names) {
    // Each required name adds its own bit; the archive is complete when all eight are set.
    static const std::pair<const char*, int> Weights[] = {
        {"Titolo", 1},    {"Note", 2},        {"Categoria", 4},   {"ChiaveRicerca", 8},
        {"Bookmark", 16}, {"KeyPrimary", 32}, {"Linguaggio", 64}, {"Procedura", 128}};
    int sum = 0;
    for (const auto& [field, weight] : Weights) {
        if (names.contains(QLatin1String(field), Qt::CaseSensitive)) sum += weight;
    }
    return sum == 255;
}

bool HasTipsFields(qn::Database& db) {
    QStringList names;
    try {
        // A set that selects no row has every field name, without reading the whole table first
        // (a large archive would pay for that at every opening).
        auto rs = db.OpenRecordset(QStringLiteral("SELECT * FROM TipsTable WHERE 0=1"), qn::dbOpenDynaset);
        const int count = rs->Fields().Count();
        for (int i = 0; i < count; ++i)
            names << rs->Fields(i).Name();
        rs->Close();
    } catch (const std::exception&) {
        return false;
    }
    return HasTipsFieldNames(names);
}

Compatibility CheckSchemaSafety(qn::Database& db) {
    bool triggers = false;
    for (const qn::SchemaObject& o : db.SchemaObjects()) {
        if (o.name == TableName && o.kind == qn::SchemaObject::View) return Compatibility::TipsTableIsView;
        if (o.name == TableName && o.kind == qn::SchemaObject::VirtualTable)
            return Compatibility::TipsTableIsVirtual;
        triggers = triggers || o.kind == qn::SchemaObject::Trigger;
    }
    return triggers ? Compatibility::HoldsTriggers : Compatibility::Compatible;
}

Compatibility CheckCompatibility(qn::Database& db) {
    if (const Compatibility safety = CheckSchemaSafety(db); safety != Compatibility::Compatible)
        return safety;
    if (!HasTipsTable(db)) return Compatibility::NoTipsTable;
    return HasTipsFields(db) ? Compatibility::Compatible : Compatibility::MissingFields;
}

QString RefusalReason(Compatibility verdict) {
    switch (verdict) {
    case Compatibility::TipsTableIsView:
        return QStringLiteral("Motivo: TipsTable è una vista (una query salvata), non una tabella.");
    case Compatibility::TipsTableIsVirtual:
        return QStringLiteral("Motivo: TipsTable è una tabella virtuale, i cui dati sono forniti da un "
                              "modulo esterno.");
    case Compatibility::HoldsTriggers:
        return QStringLiteral("Motivo: il database contiene dei trigger, comandi che verrebbero eseguiti a "
                              "ogni modifica.");
    default:
        return {};
    }
}

} // namespace tipsdb
