#include "JetFile.h"

#include <QFile>
#include <QStringEncoder>
#include <algorithm>
#include <numeric>
#include <stdexcept>

namespace jetgen {
namespace {

// Little-endian numbers of `n` bytes.
void put(QByteArray& b, qsizetype at, qint64 v, int n) {
    for (int i = 0; i < n; ++i)
        b[at + i] = char(i < 8 ? v >> 8 * i : 0);
}
QByteArray num(qint64 v, int n) {
    QByteArray b(n, '\0');
    put(b, 0, v, n);
    return b;
}
int u16(const QByteArray& b, qsizetype at) {
    return quint8(b[at]) | quint8(b[at + 1]) << 8;
}
int fixedSize(Type t) { // 0: a field of variable length
    return t == Byte ? 1 : t == Int ? 2 : t == Long ? 4 : 0;
}

// The RC4 cipher that hides part of the database page.
void rc4(char* data, int length) {
    quint8 s[256], key[] = {0xc7, 0xda, 0x39, 0x6b};
    std::iota(s, s + 256, 0);
    for (int i = 0, j = 0; i < 256; ++i)
        std::swap(s[i], s[j = (j + s[i] + key[i % 4]) & 0xff]);
    for (int n = 0, i = 0, j = 0; n < length; ++n) {
        i = (i + 1) & 0xff;
        std::swap(s[i], s[j = (j + s[i]) & 0xff]);
        data[n] = char(data[n] ^ s[(s[i] + s[j]) & 0xff]);
    }
}

constexpr quint32 Lval = 0x4c41564c; // "LVAL", the owner of long value pages

struct Builder {
    const Format format;
    const int codePage;
    const bool jet4 = format == Format::Jet4;
    const int size = jet4 ? 4096 : 2048, rowsAt = jet4 ? 14 : 10, offset = jet4 ? 2 : 1;
    QByteArrayList pages{};
    QList<int> memoPages{};
    int lval = -1; // the long value page still filling

    // A name with its length before it; bare() leaves the length out.
    QByteArray name(const QString& s) const {
        QByteArray out = num(s.size() * offset, offset);
        for (QChar c : s)
            out += num(c.unicode(), offset);
        return out;
    }
    QByteArray bare(const QString& s) const { return name(s).mid(offset); }

    int newPage(bool rows, quint32 owner = 0) {
        QByteArray p(size, '\0');
        if (rows) p.replace(0, 8, "\x01\x01" + num(size - rowsAt, 2) + num(owner, 4)); // with its free space
        pages.append(p);
        if (owner == Lval) memoPages.append(int(pages.size()) - 1);
        return int(pages.size()) - 1;
    }
    bool fits(int page, qsizetype bytes) const {
        return u16(pages[page], 2) >= bytes + 2 && u16(pages[page], rowsAt - 2) < 255;
    }
    // Places a row below the page's last one; returns its pointer, page << 8 | row.
    quint32 addRow(int page, const QByteArray& bytes, bool deleted = false) {
        QByteArray& p = pages[page];
        const int n = u16(p, rowsAt - 2);
        const int end = (n ? u16(p, rowsAt + 2 * n - 2) & 0x1fff : size) - int(bytes.size());
        p.replace(end, bytes.size(), bytes);
        put(p, rowsAt + 2 * n, end | (deleted ? 0x8000 : 0), 2);
        put(p, rowsAt - 2, n + 1, 2);
        put(p, 2, u16(p, 2) - bytes.size() - 2, 2);
        return quint32(page) << 8 | quint32(n);
    }

    QByteArray text(const QString& s, bool memo) const {
        if (!jet4) return QStringEncoder(("windows-" + QByteArray::number(codePage)).constData()).encode(s);
        QByteArray plain, packed("\xff\xfe", 2);
        // Compressed, runs of characters under 0x100 take a byte each; a zero byte switches runs.
        bool packable = !(memo && s.size() > 1024), small = true;
        for (QChar c : s) {
            plain += num(c.unicode(), 2);
            packable = packable && c.cell() != 0;
            if ((c.row() == 0) != small) packed.append('\0'), small = !small;
            packed += num(c.unicode(), small ? 1 : 2);
        }
        return packable && packed.size() < plain.size() ? packed : plain;
    }

    // The 12-byte field in the row (length and kind, pointer), the value after it while it is short.
    QByteArray longValue(const QByteArray& data, qsizetype room) {
        const int oneRow = size - rowsAt - 2;
        if (data.size() <= 64 && data.size() <= room) return num(data.size() | 0x80000000u, 12) + data;
        if (data.size() <= oneRow) {
            if (lval < 0 || !fits(lval, data.size())) lval = newPage(true, Lval);
            return num(data.size() | 0x40000000u, 4) + num(addRow(lval, data), 8);
        }
        // Longer: a page for each part, every part starting with the pointer to the next.
        const int chunk = oneRow - 4, first = int(pages.size());
        const int parts = int((data.size() + chunk - 1) / chunk);
        for (int i = 0; i < parts; ++i)
            addRow(newPage(true, Lval),
                   num(i + 1 < parts ? (first + i + 1) << 8 : 0, 4) + data.mid(i * chunk, chunk));
        return num(data.size(), 4) + num(first << 8, 8);
    }

    // Column count, fixed fields, variable ones, their offsets backwards and the null mask.
    QByteArray row(const Table& t, const Row& r) {
        const int cols = int(t.columns.size());
        QByteArray row = num(cols, offset), mask((cols + 7) / 8, '\0'), offsets;
        for (int i = 0; i < cols; ++i) // the fixed fields first, in column order; Null ones are zeros
            row += num(r.values.value(i).toLongLong(), fixedSize(t.columns[i].type));
        for (int i = 0; i < cols; ++i) {
            const Type type = t.columns[i].type;
            const QVariant v = r.values.value(i);
            if (v.isValid()) mask[i / 8] = char(mask[i / 8] | 1 << i % 8);
            if (fixedSize(type)) continue;
            offsets.prepend(num(row.size(), offset));
            if (!v.isValid()) continue;
            const QByteArray data =
                v.typeId() == QMetaType::QByteArray ? v.toByteArray() : text(v.toString(), type == Memo);
            // Jet 3 offsets are single bytes: a long value that would not keep the row short goes out.
            row += type == Text ? data : longValue(data, jet4 ? size : 200 - row.size() - 12);
        }
        const qsizetype vars = offsets.size() / offset;
        if (!jet4 && row.size() + vars + 2 + mask.size() > 255) throw std::length_error("Jet 3 row");
        return row + num(row.size(), offset) + offsets + num(vars, offset) + mask;
    }

    // The counts and usage maps, an entry for each column (25 bytes, Jet 3: 18), the column names.
    QByteArray definition(const Table& t, quint32 usedMap, quint32 freeMap, bool system) const {
        const int cols = int(t.columns.size());
        const auto live = std::ranges::count_if(t.rows, [](auto& r) { return !r.deleted; });
        const auto vars = std::ranges::count_if(t.columns, [](auto& c) { return !fixedSize(c.type); });
        // Row count; table type, column counts, no indexes, usage maps.
        QByteArray d = "\x02\x01" + num(0, jet4 ? 14 : 10) +
                       num(t.declaredRows >= 0 ? t.declaredRows : live, 4) + num(0, jet4 ? 20 : 4) +
                       (system ? "S" : "N") + num(cols, 2) + num(vars, 2) + num(cols, 2) + num(0, 8) +
                       num(usedMap, 4) + num(freeMap, 4);
        for (int i = 0, fixedAt = 0, var = 0; i < cols; ++i) {
            const Type type = t.columns[i].type;
            const int fixed = fixedSize(type), length = fixed + (type == Text ? 255 * offset : 0);
            // Type, number, index among the variable ones, number, flags, Jet 4: compressed, offset, length.
            d += char(type) + num(0, jet4 ? 4 : 0) + num(i, 2) + num(fixed ? 0 : var++, 2) + num(i, 2) +
                 num(0, jet4 ? 4 : 6) + char(fixed ? 0x03 : 0x02) +
                 num(type == Text || type == Memo, jet4 ? 5 : 0) + num(fixed ? fixedAt : 0, 2) +
                 num(length, 2);
            fixedAt += fixed;
        }
        for (const Column& c : t.columns)
            d += name(c.name);
        put(d, 8, d.size() - 8, 4);
        if (jet4) put(d, 2, size - d.size() - 8, 2);
        d.resize(size, '\0');
        return d;
    }

    // A usage map row on page 1: type 0 (the bitmap follows), the first page, the bitmap.
    quint32 usageMap(const QList<int>& used) {
        const int first = used.value(0);
        QByteArray row =
            num(0, 1) + num(first, 4) + QByteArray((used.isEmpty() ? 0 : used.last() - first) / 8 + 1, '\0');
        for (int p : used)
            row[5 + (p - first) / 8] = char(row[5 + (p - first) / 8] | 1 << (p - first) % 8);
        return addRow(1, row);
    }

    // A table's MSysObjects.LvProp: the chunk of property names, then the chunk of the table's own
    // block (no name) with one entry: length, flags, type 10 (text), name number, value length, value.
    QByteArray properties() const {
        const QByteArray value = bare("Archivio dei tips");
        const QByteArray names = num(bare("Description").size(), 2) + bare("Description");
        const QByteArray block = num(6 + 8 + value.size(), 4) + num(0, 2) + num(8 + value.size(), 2) +
                                 num(0x0a00, 2) + num(0, 2) + num(value.size(), 2) + value;
        return QByteArray(jet4 ? "MR2\0" : "KKD\0", 4) + num(names.size() + 6, 4) + num(0x80, 2) + names +
               num(block.size() + 6, 4) + num(0, 2) + block;
    }

    QByteArray build(const QList<Table>& tables, Layout* layout) {
        newPage(false); // the database page
        newPage(true);  // the usage maps
        QList<Table> all{{"MSysObjects"}};
        all[0].columns = {{"Id", Long},  {"ParentId", Long}, {"Name", Text},
                          {"Type", Int}, {"Flags", Long},    {"LvProp", Ole}};
        all += tables;
        for (qsizetype t = 0; t < all.size(); ++t) // the definition of table t on page 2 + t
            newPage(false);
        all[0].rows << Row{{2, 0, all[0].name, 1, int(0x80000002), QVariant()}};
        for (qsizetype t = 1; t < all.size(); ++t)
            all[0].rows << Row{{2 + t, 0, all[t].name, 1, 0, properties()}};
        QList<QList<int>> data(all.size());
        for (qsizetype t = 0; t < all.size(); ++t) {
            int page = -1;
            for (const Row& r : all[t].rows) {
                const QByteArray bytes = row(all[t], r);
                if (page < 0 || !fits(page, bytes.size())) data[t] << (page = newPage(true, quint32(2 + t)));
                addRow(page, bytes, r.deleted);
            }
            pages[2 + t] = definition(all[t], usageMap(data[t]), usageMap({}), t == 0);
        }
        QByteArray& db = pages[0];
        db.replace(0, 21, QByteArray("\0\1\0\0Standard Jet DB\0", 20) + char(jet4 ? 1 : 0));
        if (!jet4) put(db, 0x3c, codePage, 2);
        rc4(db.data() + 0x18, jet4 ? 128 : 126);
        const QByteArray file = pages.join();
        if (layout)
            *layout = {size,    3,         data.value(1),
                       data[0], memoPages, file.indexOf(bare("Archivio dei tips")) - 8};
        return file;
    }
};

} // namespace

QByteArray Build(const QList<Table>& tables, Format format, Layout* layout, int codePage) {
    return Builder{format, codePage}.build(tables, layout);
}

bool Write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size() && f.flush();
}

Table TipsTable(const QList<QVariantList>& tips) {
    Table t{"TipsTable"};
    t.columns = {{"KeyPrimary", Long}, {"Titolo"}, {"Procedura", Memo}, {"Categoria"},
                 {"ChiaveRicerca"},    {"Note"},   {"Bookmark", Byte},  {"Linguaggio"}};
    for (const QVariantList& values : tips)
        t.rows << Row{values};
    return t;
}

QList<QVariantList> SampleTips(bool withDeleted) {
    const QVariant Null;
    const QString s = "Perché la città è là: “virgolette” e 10 €\r\nseconda riga\r\n";
    QString memo;
    for (int i = 0; memo.size() < 20000; ++i)
        memo += QString("Riga %1: però “così” costa 5 €\r\n").arg(i);
    QList<QVariantList> tips = {{3, "Perché così", s, "Varie", "", Null, 1, "VB"},
                                {7, "Zeta finale", memo, Null, "chiave", "", 0, Null},
                                {12, "Alfa", "", "", Null, "nota ‘breve’", 255, ""},
                                {13, "Cancellato", "via", Null, Null, Null, Null, Null},
                                {15, "", Null, "Categoria €", "k", "n", Null, "C"},
                                {21, Null, "titolo Null", Null, Null, Null, 1, Null}};
    if (!withDeleted) tips.removeAt(3);
    return tips;
}

Table SampleTipsTable() {
    Table t = TipsTable(SampleTips(true));
    t.rows[3].deleted = true;
    return t;
}

} // namespace jetgen
