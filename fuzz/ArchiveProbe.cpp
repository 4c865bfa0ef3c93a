#include "ArchiveProbe.h"

#include "engine/Database.h"
#include "tipsdb/Compatibility.h"
#include "tipsdb/TipsSql.h"

#include <QFileInfo>
#include <memory>

namespace probe {

namespace {

const char* const kFields[] = {"KeyPrimary", "Titolo",   "Procedura", "Categoria",
                               "ChiaveRicerca", "Note", "Bookmark",  "Linguaggio"};

class Walk {
public:
    explicit Walk(Outcome& out) : m_out(out) {}

    // Runs one step; an engine error is recorded and the step counts as failed.
    template <typename F> bool step(F&& f) {
        try {
            f();
            return true;
        } catch (const qn::EngineError& e) {
            m_out.errors.append(e.number());
            return false;
        }
    }

private:
    Outcome& m_out;
};

void readEveryRecord(Walk& walk, qn::Recordset& view, Outcome& out) {
    walk.step([&] {
        view.MoveLast();
        view.MoveFirst();
    });
    long count = 0;
    walk.step([&] { count = view.RecordCount(); });
    out.records = count;
    for (long i = 0; i < count; ++i) {
        bool readable = true;
        for (const char* name : kFields)
            readable = walk.step([&] { (void)view.Fields(QString::fromLatin1(name)).Value(); }) && readable;
        out.unreadable += readable ? 0 : 1;
        if (!walk.step([&] { view.MoveNext(); })) break;
    }
}

void searchAndList(Walk& walk, qn::Database& db) {
    const QString queries[] = {tipsdb::WordFilter(QStringLiteral("Procedura"), QStringLiteral("a*b")),
                               tipsdb::EqualsFilter(QStringLiteral("Categoria"), QStringLiteral("L'uso")),
                               tipsdb::DistinctValues(QStringLiteral("ChiaveRicerca"))};
    for (const QString& sql : queries) {
        walk.step([&] {
            auto rs = db.OpenRecordset(sql, qn::dbOpenDynaset);
            while (!rs->IsEOF()) {
                (void)rs->Fields(0).Value();
                rs->MoveNext();
            }
        });
    }
}

void change(Walk& walk, qn::Recordset& view) {
    walk.step([&] {
        view.MoveFirst();
        view.Edit();
        view.Fields(QStringLiteral("Note")).SetValue(QStringLiteral("verificato"));
        view.Update();
    });
    walk.step([&] {
        view.AddNew();
        view.Fields(QStringLiteral("Titolo")).SetValue(QStringLiteral("Nuovo"));
        view.Fields(QStringLiteral("Procedura")).SetValue(QStringLiteral("corpo"));
        view.Update();
    });
}

} // namespace

Outcome probeArchive(const QString& path) {
    Outcome out;
    Walk walk(out);
    const bool readOnly = !QFileInfo(path).isWritable();
    std::unique_ptr<qn::Database> db;
    if (!walk.step([&] { db = qn::DBEngine::Workspaces(0).OpenDatabase(path, true, readOnly); })) return out;
    out.opened = true;
    tipsdb::Compatibility verdict = tipsdb::Compatibility::NoTipsTable;
    walk.step([&] { verdict = tipsdb::CheckCompatibility(*db); });
    out.accepted = verdict == tipsdb::Compatibility::Compatible;
    if (out.accepted && (readOnly || walk.step([&] { db->UseDeleteJournal(); }))) {
        std::unique_ptr<qn::Recordset> view;
        if (walk.step([&] { view = db->OpenRecordset(tipsdb::DefaultView(), qn::dbOpenDynaset); })) {
            readEveryRecord(walk, *view, out);
            searchAndList(walk, *db);
            if (!readOnly) change(walk, *view);
        }
    }
    out.damaged = db->IsDamaged();
    walk.step([&] { db->Close(); });
    return out;
}

bool isExplained(long number) {
    // Numbers without a description of their own get the same text with the number in it.
    QString fallback = qn::errorDescription(-1);
    fallback.replace(QLatin1String("-1"), QString::number(number));
    return number != qn::err::ReservedError && qn::errorDescription(number) != fallback;
}

} // namespace probe
