#include "import/JetReader.h"

#include "import/JetText.h"
#include "tipsdb/Compatibility.h"

#include <QFile>
#include <QFileInfo>
#include <set>

// libmdb's header needs glib's first.
#include <glib.h>

#include <mdbtools.h>

namespace qnimport {
namespace {

constexpr int OffsetMask = 0x1fff;
constexpr int DeletedRow = 0x8000;
constexpr int MovedRow = 0x4000;

quint32 u32(const unsigned char* p) {
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

bool isNumberType(int t) {
    return t == MDB_BYTE || t == MDB_INT || t == MDB_LONGINT;
}
bool isTextType(int t) {
    return t == MDB_TEXT || t == MDB_MEMO;
}

} // namespace

struct JetReader::Impl {
    MdbHandle* mdb = nullptr;
    MdbTableDef* table = nullptr;
    bool jet4 = false;
    qint64 pages = 0;
    std::array<int, 8> column{}; // index in table->columns
    std::unique_ptr<CodePageText> codePage;
    ReadCounts counts;

    ~Impl() {
        if (table) mdb_free_tabledef(table);
        if (mdb) mdb_close(mdb);
    }

    int pageSize() const { return int(mdb->fmt->pg_size); }
    const unsigned char* page() const { return mdb->pg_buf; }

    QString text(const char* data, qsizetype size, QStringList* problems) const {
        if (!jet4) return codePage->decode(data, size);
        bool odd = false;
        QString s = DecodeUcs2(data, size, &odd);
        if (odd) problems->append(QStringLiteral("un testo termina con un byte spaiato"));
        return s;
    }

    // The bytes of a long value row, checked to lie on a long value page.
    bool longValueRow(quint32 pointer, QByteArray* out) {
        void* buf = nullptr;
        int start = 0;
        size_t length = 0;
        if (mdb_find_pg_row(mdb, int(pointer), &buf, &start, &length) != 0) return false;
        const auto* p = static_cast<const unsigned char*>(buf);
        start &= OffsetMask;
        if (p[0] != 0x01 || memcmp(p + 4, "LVAL", 4) != 0) return false;
        if (start < 0 || qint64(start) + qint64(length) > pageSize()) return false;
        *out = QByteArray(reinterpret_cast<const char*>(p) + start, qsizetype(length));
        return true;
    }

    // A memo's bytes, from the 12-byte field in the row and the long value pages it points to.
    QByteArray memo(int start, int size, QStringList* problems) {
        if (size < 12) {
            problems->append(QStringLiteral("il campo memo è danneggiato"));
            return {};
        }
        const unsigned char* field = page() + start;
        const quint32 head = u32(field);
        const qint64 length = head & 0x3fffffff;
        QByteArray data;
        bool broken = false;
        switch (head >> 30) {
        case 2: // in the row itself
            data = QByteArray(reinterpret_cast<const char*>(field) + 12, size - 12);
            break;
        case 1: // one row of a long value page
            broken = !longValueRow(u32(field + 4), &data);
            break;
        case 0: { // a chain of rows, each starting with the pointer to the next
            std::set<quint32> seen;
            for (quint32 next = u32(field + 4); next != 0 && data.size() < length;) {
                QByteArray row;
                if (!seen.insert(next).second || qint64(seen.size()) > pages || !longValueRow(next, &row) ||
                    row.size() < 4) {
                    broken = true;
                    break;
                }
                next = u32(reinterpret_cast<const unsigned char*>(row.constData()));
                data += row.mid(4);
            }
            break;
        }
        default:
            broken = true;
        }
        if (data.size() > length) data.truncate(qsizetype(length));
        if (broken || data.size() < length)
            problems->append(
                QStringLiteral("memo troncato: letti %1 byte di %2").arg(data.size()).arg(length));
        return data;
    }

    QVariant value(int type, const MdbField& f, QStringList* problems) {
        if (f.is_null) return {};
        const char* data = reinterpret_cast<const char*>(page()) + f.start;
        switch (type) {
        case MDB_BYTE:
            return f.siz >= 1 ? QVariant(qlonglong(quint8(data[0]))) : QVariant();
        case MDB_INT:
            return f.siz >= 2 ? QVariant(qlonglong(qint16(mdb_get_int16(mdb->pg_buf, f.start)))) : QVariant();
        case MDB_LONGINT:
            return f.siz >= 4 ? QVariant(qlonglong(qint32(mdb_get_int32(mdb->pg_buf, f.start)))) : QVariant();
        case MDB_TEXT:
            return text(data, f.siz, problems);
        default: {
            const QByteArray bytes = memo(f.start, f.siz, problems);
            return text(bytes.constData(), bytes.size(), problems);
        }
        }
    }

    static void unreadable(OldTip& tip) {
        tip.values = {};
        tip.readable = false;
        tip.problems = {QStringLiteral("la riga non si può leggere")};
    }

    void readRow(int start, int size, OldTip& tip) {
        MdbField fields[MDB_MAX_COLS];
        const int n = mdb_crack_row(table, start, size_t(size), fields);
        if (n < int(table->num_cols)) return unreadable(tip);
        for (size_t f = 0; f < TipFields.size(); ++f) {
            const int k = column[f];
            const MdbField& field = fields[k];
            const auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, k));
            // A field must lie inside its own row.
            if (!field.is_null &&
                (field.start < start || field.siz < 0 || field.start + field.siz > start + size))
                return unreadable(tip);
            tip.values[f] = value(col->col_type, field, &tip.problems);
        }
    }

    void readPage(long pageNumber, const std::function<void(OldTip&)>& deliver) {
        const int rows = mdb_get_int16(mdb->pg_buf, mdb->fmt->row_count_offset);
        const int maxRows = (pageSize() - mdb->fmt->row_count_offset - 2) / 2;
        for (int row = 0; row < qMin(rows, maxRows); ++row) {
            int start = 0;
            size_t size = 0;
            OldTip tip;
            tip.where = QStringLiteral("pagina %1, riga %2").arg(pageNumber).arg(row);
            const bool located = mdb_find_row(mdb, row, &start, &size) == 0;
            if (located && (start & DeletedRow)) {
                ++counts.deleted;
                continue;
            }
            // A row moved elsewhere on update leaves a pointer here; the row itself is read where it lies.
            if (located && (start & MovedRow)) continue;
            ++counts.found;
            start &= OffsetMask;
            if (!located || size == 0 || start + qint64(size) > pageSize())
                unreadable(tip);
            else
                readRow(start, int(size), tip);
            counts.unreadable += tip.readable ? 0 : 1;
            deliver(tip);
        }
    }
};

JetReader::JetReader() : d(std::make_unique<Impl>()) {}
JetReader::~JetReader() = default;

QString JetReader::Open(const QString& path) {
    d->mdb = mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS);
    if (!d->mdb) return QStringLiteral("la libreria mdbtools non riesce ad aprire il file.");
    const guint32 version = d->mdb->f->jet_version;
    if (version != MDB_VER_JET3 && version != MDB_VER_JET4)
        return QStringLiteral("il file non è nel formato di Access 97 o Access 2000.");
    d->jet4 = version == MDB_VER_JET4;
    d->pages = QFileInfo(path).size() / d->pageSize();
    if (!d->jet4) d->codePage = std::make_unique<CodePageText>(d->mdb->f->code_page);
    return {};
}

QString JetReader::FindTipsTable() {
    if (!mdb_read_catalog(d->mdb, MDB_TABLE))
        return QStringLiteral("l'elenco delle tabelle non si può leggere.");
    MdbCatalogEntry* entry = nullptr;
    for (guint i = 0; i < d->mdb->num_catalog; ++i) {
        auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(d->mdb->catalog, i));
        if (e->object_type == MDB_TABLE && strcmp(e->object_name, "TipsTable") == 0) { // exact case
            entry = e;
            break;
        }
    }
    if (!entry) return QStringLiteral("l'archivio non contiene la tabella TipsTable.");
    d->table = mdb_read_table(entry);
    if (!d->table || !mdb_read_columns(d->table) || d->table->num_cols > MDB_MAX_COLS)
        return QStringLiteral("la definizione della tabella TipsTable non si può leggere.");
    QStringList names;
    for (guint i = 0; i < d->table->num_cols; ++i)
        names << QString::fromUtf8(static_cast<MdbColumn*>(g_ptr_array_index(d->table->columns, i))->name);
    if (!tipsdb::HasTipsFieldNames(names)) {
        QStringList missing;
        for (const char* f : TipFields)
            if (!names.contains(QLatin1String(f))) missing << QLatin1String(f);
        return QStringLiteral("la tabella TipsTable non ha il campo %1.")
            .arg(missing.join(QStringLiteral(", ")));
    }
    for (size_t f = 0; f < TipFields.size(); ++f) {
        d->column[f] = int(names.indexOf(QLatin1String(TipFields[f])));
        const int type =
            static_cast<MdbColumn*>(g_ptr_array_index(d->table->columns, d->column[f]))->col_type;
        const bool numeric = f == Key || f == Bookmark;
        if (numeric ? !isNumberType(type) : !isTextType(type))
            return QStringLiteral("il campo %1 è di un tipo che non si può convertire (tipo %2).")
                .arg(QLatin1String(TipFields[f]))
                .arg(type);
    }
    d->counts.declared = long(d->table->num_rows);
    return {};
}

void JetReader::ReadRows(const std::function<void(OldTip&)>& tip) {
    mdb_rewind_table(d->table);
    long last = 0;
    qint64 visited = 0;
    // libmdb walks the table's usage map; a damaged map could lead it back to pages already read.
    for (long pg; (pg = mdb_read_next_dpg(d->table)) > 0;) {
        if (pg <= last || ++visited > d->pages) break;
        last = pg;
        d->readPage(pg, tip);
    }
}

const ReadCounts& JetReader::Counts() const {
    return d->counts;
}

QString JetReader::FormatName() const {
    return d->jet4 ? QStringLiteral("Access 2000") : QStringLiteral("Access 97");
}

int JetReader::CodePage() const {
    return d->codePage ? d->codePage->codePage() : 0;
}

} // namespace qnimport
