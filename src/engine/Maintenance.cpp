// DBEngine::CompactDatabase and DBEngine::RepairDatabase.

#include "engine/Connection.h"
#include "engine/Database.h"
#include "engine/Dialect.h"
#include "engine/DurableFile.h"
#include "engine/Schema.h"
#include "engine/SchemaGuard.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qn {

namespace {

// Reads the rows of `table` from `from` into `to` in rowid order. A scan that hits a damaged
// page resumes after it by probing ever larger rowids, then narrows back to the first rowid
// that can be read again, so the rows after the damage are saved too.
class TableSalvage {
public:
    TableSalvage(Connection& from, Connection& to, const QString& table)
        : m_from(from), m_to(to), m_table(table) {}

    // Rows written to the new file.
    long saved() const { return m_saved; }

    void run() {
        prepareInsert();
        int64_t next = INT64_MIN;
        while (true) {
            int64_t last = 0;
            const bool finished = scanFrom(next, &last);
            if (finished) return;
            const auto resume = probeAfter(last);
            if (!resume) return;
            next = *resume;
        }
    }

private:
    void prepareInsert() {
        Statement cols(m_from, QStringLiteral("SELECT * FROM %1 LIMIT 0").arg(quoteName(m_table)));
        m_columns = cols.columnCount();
        QStringList marks;
        for (int i = 0; i <= m_columns; ++i)
            marks << QStringLiteral("?");
        QStringList names{QStringLiteral("rowid")};
        for (int i = 0; i < m_columns; ++i)
            names << quoteName(cols.columnName(i));
        m_insert =
            std::make_unique<Statement>(m_to, QStringLiteral("INSERT OR IGNORE INTO %1 (%2) VALUES (%3)")
                                                  .arg(quoteName(m_table), names.join(QLatin1String(", ")),
                                                       marks.join(QLatin1String(", "))));
    }

    // Copies rows with rowid >= start; true when the end of the table was reached cleanly.
    bool scanFrom(int64_t start, int64_t* last) {
        *last = start;
        try {
            Statement s(m_from, QStringLiteral("SELECT rowid, * FROM %1 WHERE rowid >= ? ORDER BY rowid")
                                    .arg(quoteName(m_table)));
            s.bindInt64(1, start);
            while (s.step() == Statement::Step::Row) {
                m_insert->reset();
                for (int i = 0; i <= m_columns; ++i)
                    m_insert->bindVariant(i + 1, s.columnVariant(i));
                *last = s.columnInt64(0);
                m_insert->step();
                m_saved += static_cast<long>(m_to.changes());
            }
            return true;
        } catch (const EngineError& e) {
            if (e.number() != err::CannotOpen && e.number() != err::UnrecognizedFormat &&
                e.number() != err::DiskIo)
                throw;
            return false;
        }
    }

    bool readable(int64_t start, int64_t* found) {
        try {
            Statement s(m_from, QStringLiteral("SELECT rowid FROM %1 WHERE rowid >= ? ORDER BY rowid LIMIT 1")
                                    .arg(quoteName(m_table)));
            s.bindInt64(1, start);
            if (s.step() == Statement::Step::Row) {
                *found = s.columnInt64(0);
                // The row itself must read too.
                Statement row(m_from,
                              QStringLiteral("SELECT * FROM %1 WHERE rowid = ?").arg(quoteName(m_table)));
                row.bindInt64(1, *found);
                row.step();
                return true;
            }
            *found = INT64_MAX;
            return true; // nothing after: readable and empty
        } catch (const EngineError&) {
            return false;
        }
    }

    // The first rowid after `last` from which the table reads again; none when nothing follows.
    std::optional<int64_t> probeAfter(int64_t last) {
        if (last == INT64_MIN) last = -1; // the scan failed at once: rowids are positive in practice
        int64_t bad = last, good = 0, found = 0;
        bool ok = false;
        for (int64_t step = 1; step < (int64_t(1) << 48); step *= 2) {
            if (readable(last + step, &found)) {
                if (found == INT64_MAX) return std::nullopt;
                good = last + step;
                ok = true;
                break;
            }
            bad = last + step;
        }
        if (!ok) return std::nullopt;
        while (good - bad > 1) {
            const int64_t mid = bad + (good - bad) / 2;
            int64_t f = 0;
            if (readable(mid, &f))
                good = mid;
            else
                bad = mid;
        }
        return good;
    }

    Connection& m_from;
    Connection& m_to;
    QString m_table;
    int m_columns = 0;
    std::unique_ptr<Statement> m_insert;
    long m_saved = 0;
};

QList<SchemaEntry> readSchema(Connection& conn) {
    QList<SchemaEntry> entries;
    Statement s(conn,
                "SELECT type, name, tbl_name, sql FROM sqlite_master WHERE sql IS NOT NULL ORDER BY rowid");
    while (s.step() == Statement::Step::Row)
        entries.append({s.columnText(0), s.columnText(1), s.columnText(2), s.columnText(3)});
    return entries;
}

bool isSound(Connection& conn) {
    try {
        Statement check(conn, "PRAGMA integrity_check");
        return check.step() == Statement::Step::Row && check.columnText(0) == QLatin1String("ok");
    } catch (const EngineError& e) {
        if (e.number() == err::CannotOpen || e.number() == err::UnrecognizedFormat ||
            e.number() == err::DiskIo)
            return false;
        throw;
    }
}

void copySequences(Connection& from, Connection& to) {
    try {
        Statement read(from, "SELECT name, seq FROM sqlite_sequence");
        Statement write(to, "UPDATE sqlite_sequence SET seq = max(seq, ?) WHERE name = ?");
        while (read.step() == Statement::Step::Row) {
            write.reset();
            write.bindInt64(1, read.columnInt64(1));
            write.bindText(2, read.columnText(0));
            write.step();
        }
    } catch (const EngineError&) {
        // The counters only keep deleted numbers from being reused; the copy is sound without.
    }
}

bool isInternal(const QString& name) {
    return name.startsWith(QLatin1String("sqlite_"));
}

// The tables a rebuild keeps: those asked for (every one when none is named) and the engine's
// own metadata tables.
bool keptTable(const QString& name, const QStringList& tables) {
    return tables.isEmpty() || tables.contains(name) || (isHiddenTable(name) && !isInternal(name));
}

// Metadata rows of tables the rebuild left out would describe tables that are not there.
void dropMetadataOf(Connection& fresh, const QStringList& created) {
    for (const char* table : {"QnFields", "QnIndexes"}) {
        if (!created.contains(QLatin1String(table))) continue;
        Statement s(fresh, QStringLiteral("SELECT DISTINCT TableName FROM %1").arg(QLatin1String(table)));
        QStringList stale;
        while (s.step() == Statement::Step::Row)
            if (!created.contains(s.columnText(0))) stale << s.columnText(0);
        for (const QString& name : stale) {
            Statement del(fresh,
                          QStringLiteral("DELETE FROM %1 WHERE TableName = ?").arg(QLatin1String(table)));
            del.bindText(1, name);
            del.step();
        }
    }
}

// Rebuilds the readable part of `damaged` into the new file `target`. Every schema entry runs on
// its own, checked and guarded (SchemaGuard); what is refused is named in the result. A table
// in `tables` that cannot be rebuilt fails the whole repair.
RepairResult rebuild(Connection& damaged, const QString& target, const QStringList& tables) {
    RepairResult result;
    result.rebuilt = true;
    const QList<SchemaEntry> schema = readSchema(damaged);
    Connection::createFile(target);
    Connection fresh(target, true, false);
    SchemaGuard guard(fresh);
    fresh.exec("BEGIN");
    QStringList created;
    for (const SchemaEntry& e : schema) {
        if (e.type != QLatin1String("table") || isInternal(e.name)) continue;
        if (keptTable(e.name, tables) && guard.run(e, {}))
            created << e.name;
        else
            result.refused << e.name;
    }
    for (const QString& wanted : tables)
        if (!created.contains(wanted)) throw EngineError::fromNumber(err::CannotOpen, damaged.path());
    for (const QString& table : created) {
        TableSalvage salvage(damaged, fresh, table);
        salvage.run();
        result.rows.insert(table, salvage.saved());
    }
    copySequences(damaged, fresh);
    dropMetadataOf(fresh, created);
    for (const SchemaEntry& e : schema) {
        if (e.type == QLatin1String("table") || isInternal(e.name)) continue;
        // Views and triggers are never rebuilt; a unique index that the salvaged rows no longer
        // satisfy is left out.
        if (!guard.run(e, created)) result.refused << e.name;
    }
    fresh.exec("COMMIT");
    fresh.close();
    return result;
}

} // namespace

void DBEngine::CompactDatabase(const QString& source, const QString& destination) {
    const QFileInfo target(destination);
    if (target.exists() || target.isSymLink())
        throw EngineError::fromNumber(err::DatabaseExists, destination);
    if (!QFileInfo(target.absolutePath()).isDir())
        throw EngineError::fromNumber(err::InvalidPath, destination);
    // Exclusive, so the source is not in use elsewhere. VACUUM INTO only reads it, but on a
    // read-only connection SQLite copies markedly slower, so a writable file is opened for
    // writing (nothing is written to it) and only a read-only one read-only.
    Connection conn(source, true, !QFileInfo(source).isWritable());
    // The destination is made here, empty and exclusively (VACUUM INTO accepts an empty file):
    // a file that appears meanwhile is never overwritten, and a failure removes only ours. It
    // gets the source's permissions, since it usually replaces the source.
    struct stat st {};
    const mode_t mode = ::stat(QFile::encodeName(source).constData(), &st) == 0 ? (st.st_mode & 0777) : 0666;
    const int fd =
        ::open(QFile::encodeName(destination).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0)
        throw EngineError::fromNumber(errno == EEXIST   ? err::DatabaseExists
                                      : errno == ENOSPC ? err::DiskFull
                                                        : err::FileLocked,
                                      destination);
    ::fchmod(fd, mode);
    ::close(fd);
    try {
        Statement vacuum(conn, "VACUUM INTO ?");
        vacuum.bindText(1, QString::fromLocal8Bit(sqliteFileName(destination))); // never read as a URI
        vacuum.step();
        // VACUUM INTO leaves its output unsynced: the copy is on the disk before we say it is made.
        durable::SyncFile(destination);
        durable::SyncFolder(QFileInfo(destination).absolutePath());
    } catch (...) {
        QFile::remove(destination); // made empty by us above: nobody else's file
        throw;
    }
}

RepairResult DBEngine::RepairDatabase(const QString& path, const QStringList& tables) {
    Connection damaged(path, true, false);
    SchemaGuard guard(damaged);
    if (isSound(damaged)) return {};
    const QFileInfo info(path);
    const QString target =
        info.absolutePath() +
        QStringLiteral("/.%1.repair-%2").arg(info.fileName()).arg(QCoreApplication::applicationPid());
    QFile::remove(target);
    RepairResult result;
    try {
        result = rebuild(damaged, target, tables);
        durable::SyncFile(target);
    } catch (...) {
        QFile::remove(target);
        QFile::remove(target + QStringLiteral("-journal"));
        throw;
    }
    damaged.close();
    // The rebuilt file replaces the damaged one in one step, and only once it is on the disk.
    if (std::rename(QFile::encodeName(target).constData(), QFile::encodeName(path).constData()) != 0) {
        QFile::remove(target);
        throw EngineError::fromNumber(err::DiskIo, path);
    }
    try {
        durable::SyncFolder(info.absolutePath());
    } catch (const EngineError&) {
        // The repaired file is in place; only the folder's own flush failed, and reporting the
        // repair as failed would be the wrong news.
    }
    return result;
}

} // namespace qn
