#include "JetFile.h"

#include <QFile>
#include <QStringEncoder>
#include <stdexcept>

namespace jetgen {
namespace {

void put16(QByteArray& b, qsizetype at, quint32 v) {
    b[at] = char(v & 0xff);
    b[at + 1] = char((v >> 8) & 0xff);
}
void put32(QByteArray& b, qsizetype at, quint32 v) {
    put16(b, at, v & 0xffff);
    put16(b, at + 2, v >> 16);
}
void add8(QByteArray& b, quint32 v) {
    b.append(char(v & 0xff));
}
void add16(QByteArray& b, quint32 v) {
    add8(b, v);
    add8(b, v >> 8);
}
void add32(QByteArray& b, quint32 v) {
    add16(b, v & 0xffff);
    add16(b, v >> 16);
}

qsizetype findFirstPropertyEntry(const QByteArray& file);

bool isFixed(Type t) {
    return t == Byte || t == Int || t == Long;
}
int fixedSize(Type t) {
    return t == Byte ? 1 : t == Int ? 2 : 4;
}

// A row placed on a page; its offset is known once the page is laid out.
struct PlacedRow {
    QByteArray bytes;
    bool deleted = false;
};

struct Page {
    QByteArray header; // for pages that are not row pages: the whole page
    QList<PlacedRow> rows;
    bool rowPage = false;
    quint32 owner = 0; // a data page's table definition page; "LVAL" for long values
};

class Builder {
public:
    Builder(const Options& o) : m_o(o), m_jet4(o.format == Format::Jet4) {
        m_pageSize = m_jet4 ? 4096 : 2048;
        m_rowsAt = m_jet4 ? 14 : 10;
    }

    QByteArray build(const QList<Table>& tables, Layout* layout);

private:
    // --- text
    QByteArray encodeText(const QString& s, bool memo) const {
        if (!m_jet4) {
            QStringEncoder enc(QStringLiteral("windows-%1").arg(m_o.codePage).toLatin1().constData());
            if (!enc.isValid()) throw std::invalid_argument("code page");
            return enc.encode(s);
        }
        QByteArray plain;
        for (QChar c : s)
            add16(plain, c.unicode());
        if (!m_o.compress || (memo && s.size() > 1024)) return plain;
        QByteArray packed("\xff\xfe", 2);
        bool compressed = true;
        for (QChar c : s) {
            const ushort u = c.unicode();
            if ((u & 0xff) == 0) return plain; // a 0x00 byte switches modes: such text stays plain
            const bool small = u < 0x100;
            if (small != compressed) {
                packed.append('\0');
                compressed = small;
            }
            compressed ? add8(packed, u) : add16(packed, u);
        }
        return packed.size() < plain.size() ? packed : plain;
    }
    QByteArray encodeName(const QString& s) const {
        QByteArray out;
        if (m_jet4) {
            add16(out, quint32(s.size() * 2));
            for (QChar c : s)
                add16(out, c.unicode());
        } else {
            add8(out, quint32(s.size()));
            out += s.toLatin1();
        }
        return out;
    }

    // --- pages
    int newPage(bool rowPage, quint32 owner) {
        Page p;
        p.rowPage = rowPage;
        p.owner = owner;
        m_pages.append(p);
        return int(m_pages.size()) - 1;
    }
    int used(const Page& p) const {
        int n = m_rowsAt;
        for (const PlacedRow& r : p.rows)
            n += 2 + int(r.bytes.size());
        return n;
    }
    bool fits(int page, qsizetype bytes) const {
        return used(m_pages[page]) + 2 + bytes <= m_pageSize && m_pages[page].rows.size() < 255;
    }
    // Adds a row to the page; returns its pointer (page << 8 | row).
    quint32 addRow(int page, const QByteArray& bytes, bool deleted = false) {
        m_pages[page].rows.append({bytes, deleted});
        return quint32(page) << 8 | quint32(m_pages[page].rows.size() - 1);
    }
    QByteArray layoutPage(const Page& p, QList<int>* offsets) const {
        QByteArray b(m_pageSize, '\0');
        b[0] = 0x01;
        b[1] = 0x01;
        put32(b, 4, p.owner);
        put16(b, m_rowsAt - 2, quint32(p.rows.size()));
        int end = m_pageSize;
        for (int i = 0; i < p.rows.size(); ++i) {
            const PlacedRow& r = p.rows[i];
            end -= int(r.bytes.size());
            b.replace(end, r.bytes.size(), r.bytes);
            put16(b, m_rowsAt + 2 * i, quint32(end) | (r.deleted ? 0x8000 : 0));
            offsets->append(end);
        }
        put16(b, 2, quint32(m_pageSize - used(p)));
        return b;
    }

    // --- long values: the 12-byte field that stands in the row
    QByteArray longValue(const QByteArray& data, qsizetype roomInRow) {
        QByteArray field;
        if (data.size() <= m_o.inlineMemo && data.size() <= roomInRow) {
            add32(field, quint32(data.size()) | 0x80000000u);
            add32(field, 0);
            add32(field, 0);
            return field + data;
        }
        const int oneRow = m_pageSize - m_rowsAt - 2;
        if (data.size() <= oneRow) {
            if (m_lval < 0 || !fits(m_lval, data.size())) m_lval = newPage(true, LvalTag);
            add32(field, quint32(data.size()) | 0x40000000u);
            add32(field, addRow(m_lval, data));
            add32(field, 0);
            return field;
        }
        // Longer: a chain of rows, one full page each, every row starting with the next one's pointer.
        const int chunk = oneRow - 4;
        QList<int> chain;
        for (qsizetype at = 0; at < data.size(); at += chunk)
            chain.append(newPage(true, LvalTag));
        for (int i = 0; i < chain.size(); ++i) {
            QByteArray row;
            add32(row, i + 1 < chain.size() ? quint32(chain[i + 1]) << 8 : 0);
            row += data.mid(qsizetype(i) * chunk, chunk);
            addRow(chain[i], row);
        }
        add32(field, quint32(data.size()));
        add32(field, quint32(chain[0]) << 8);
        add32(field, 0);
        return field;
    }

    QByteArray valueBytes(const Column& c, const QVariant& v) const {
        if (v.typeId() == QMetaType::QByteArray) return v.toByteArray();
        if (c.type == Text || c.type == Memo) return encodeText(v.toString(), c.type == Memo);
        QByteArray b;
        const quint32 n = quint32(v.toLongLong());
        c.type == Byte ? add8(b, n) : c.type == Int ? add16(b, n) : add32(b, n);
        return b;
    }

    QByteArray packRow(const Table& t, const Row& r);
    QByteArray definition(const Table& t, quint32 usedMap, quint32 freeMap, bool system) const;
    quint32 usageMap(const QList<int>& pages);
    QByteArray databasePage() const;
    QByteArray properties(const QString& column);

    static constexpr quint32 LvalTag = 0x4c41564c; // "LVAL"
    const Options& m_o;
    bool m_jet4;
    int m_pageSize, m_rowsAt;
    QList<Page> m_pages;
    int m_lval = -1;
    int m_maps = 1;
};

QByteArray Builder::packRow(const Table& t, const Row& r) {
    const int cols = int(t.columns.size());
    QByteArray row;
    m_jet4 ? add16(row, quint32(cols)) : add8(row, quint32(cols));
    const int fixedStart = int(row.size());
    for (int i = 0; i < cols; ++i)
        if (isFixed(t.columns[i].type)) row += QByteArray(fixedSize(t.columns[i].type), '\0');
    QByteArray mask((cols + 7) / 8, '\0');
    QList<quint32> offsets;
    int fixedAt = fixedStart;
    int varCount = 0;
    for (const Column& c : t.columns)
        varCount += isFixed(c.type) ? 0 : 1;
    for (int i = 0; i < cols; ++i) {
        const Column& c = t.columns[i];
        const QVariant v = r.values.value(i);
        if (v.isValid()) mask[i / 8] = char(mask[i / 8] | (1 << (i % 8)));
        if (isFixed(c.type)) {
            if (v.isValid()) row.replace(fixedAt, fixedSize(c.type), valueBytes(c, v));
            fixedAt += fixedSize(c.type);
            continue;
        }
        offsets.append(quint32(row.size()));
        if (!v.isValid()) continue;
        const QByteArray data = valueBytes(c, v);
        // Jet 3 offsets are single bytes: a long value that would not keep the row short goes out.
        const qsizetype room = m_jet4 ? m_pageSize : 200 - row.size() - 12;
        row += (c.type == Memo || c.type == Ole) ? longValue(data, room) : data;
    }
    const quint32 eod = quint32(row.size());
    if (!m_jet4 && eod + varCount + 2 + mask.size() > 255)
        throw std::length_error("Jet 3 row over 255 bytes");
    auto add = [&](quint32 v) { m_jet4 ? add16(row, v) : add8(row, v); };
    add(eod);
    for (qsizetype i = offsets.size() - 1; i >= 0; --i)
        add(offsets[i]);
    add(quint32(varCount));
    return row + mask;
}

QByteArray Builder::definition(const Table& t, quint32 usedMap, quint32 freeMap, bool system) const {
    const int cols = int(t.columns.size());
    QByteArray d(m_jet4 ? 63 : 43, '\0');
    d[0] = 0x02;
    d[1] = 0x01;
    if (!m_jet4) d.replace(2, 2, "VC");
    int live = 0;
    qint64 nextKey = 1;
    for (const Row& r : t.rows) {
        live += r.deleted ? 0 : 1;
        for (int i = 0; i < cols; ++i)
            if (t.columns[i].autoNumber) nextKey = qMax(nextKey, r.values.value(i).toLongLong() + 1);
    }
    int varCount = 0;
    for (const Column& c : t.columns)
        varCount += isFixed(c.type) ? 0 : 1;
    const int base = m_jet4 ? 8 : 4; // the block's fields sit 4 bytes later in Jet 4
    put32(d, base + 8, quint32(t.declaredRows >= 0 ? t.declaredRows : live));
    put32(d, base + 12, quint32(nextKey));
    if (m_jet4) d[24] = 0x01;
    const int at = m_jet4 ? 40 : 20;
    d[at] = char(system ? 0x53 : 0x4e);
    put16(d, at + 1, quint32(cols));
    put16(d, at + 3, quint32(varCount));
    put16(d, at + 5, quint32(cols));
    put32(d, at + 15, usedMap);
    put32(d, at + 19, freeMap);
    int fixedAt = 0, varIndex = 0;
    for (int i = 0; i < cols; ++i) {
        const Column& c = t.columns[i];
        const bool fixed = isFixed(c.type);
        QByteArray e(m_jet4 ? 25 : 18, '\0');
        e[0] = char(c.type);
        const int colNum = m_jet4 ? 5 : 1;
        put16(e, colNum, quint32(i));
        put16(e, colNum + 2, fixed ? 0 : quint32(varIndex));
        put16(e, colNum + 4, quint32(i));
        const bool textual = c.type == Text || c.type == Memo;
        if (m_jet4) {
            if (textual) put16(e, 11, 0x409);
            e[15] = char((fixed ? 0x01 : 0) | 0x02 | (c.autoNumber ? 0x04 : 0));
            e[16] = char(textual && m_o.compress ? 0x01 : 0);
        } else {
            if (textual) put16(e, 7, 0x409), put16(e, 9, m_o.codePage);
            e[13] = char((fixed ? 0x01 : 0) | 0x02 | (c.autoNumber ? 0x04 : 0));
        }
        const int tail = m_jet4 ? 21 : 14;
        put16(e, tail, fixed ? quint32(fixedAt) : 0);
        const int length = fixed ? fixedSize(c.type) : c.type == Text ? c.size * (m_jet4 ? 2 : 1) : 0;
        put16(e, tail + 2, quint32(length));
        fixedAt += fixed ? fixedSize(c.type) : 0;
        varIndex += fixed ? 0 : 1;
        d += e;
    }
    for (const Column& c : t.columns)
        d += encodeName(c.name);
    add16(d, 0xffff);
    put32(d, 8, quint32(d.size() - 8));
    if (d.size() > m_pageSize) throw std::length_error("table definition over one page");
    if (m_jet4) put16(d, 2, quint32(m_pageSize - d.size() - 8));
    return d;
}

// A usage map row on page 1 listing `pages`: the bitmap in the row while it is short (type 0),
// otherwise pointers to bitmap pages of their own (type 1).
quint32 Builder::usageMap(const QList<int>& pages) {
    const int first = pages.isEmpty() ? 0 : pages.first();
    const int last = pages.isEmpty() ? 0 : pages.last();
    QByteArray row;
    if ((last - first) / 8 + 1 <= (m_jet4 ? 64 : 128)) {
        add8(row, 0);
        add32(row, quint32(first));
        QByteArray bits((last - first) / 8 + 1, '\0');
        for (int p : pages)
            bits[(p - first) / 8] = char(bits[(p - first) / 8] | (1 << ((p - first) % 8)));
        row += bits;
    } else {
        const int span = (m_pageSize - 4) * 8;
        add8(row, 1);
        for (int k = 0; k <= last / span; ++k) {
            QByteArray map(m_pageSize, '\0');
            map[0] = 0x05;
            map[1] = 0x01;
            for (int p : pages)
                if (p / span == k) map[4 + (p % span) / 8] = char(map[4 + (p % span) / 8] | (1 << (p % 8)));
            const int mapPage = newPage(false, 0);
            m_pages[mapPage].header = map;
            add32(row, quint32(mapPage));
        }
    }
    if (!fits(m_maps, row.size())) throw std::length_error("usage maps over one page");
    return addRow(m_maps, row);
}

QByteArray Builder::databasePage() const {
    QByteArray b(m_pageSize, '\0');
    b.replace(0, 4, QByteArray("\x00\x01\x00\x00", 4));
    b.replace(4, 16, QByteArray("Standard Jet DB\0", 16));
    b[0x14] = char(m_jet4 ? 1 : 0);
    // The encrypted part: sort order, code page, no database key, no password.
    if (m_jet4) {
        put16(b, 0x6e, 0x409);
    } else {
        put16(b, 0x3a, 0x409);
        put16(b, 0x3c, m_o.codePage);
    }
    Rc4(QByteArray("\xc7\xda\x39\x6b", 4), b.data() + 0x18, m_jet4 ? 128 : 126);
    return b;
}

// Properties of a table as Access keeps them in MSysObjects.LvProp: a description of the table
// and one of `column`.
QByteArray Builder::properties(const QString& column) {
    const QString name = QStringLiteral("Description");
    auto text = [&](const QString& s) { return m_jet4 ? encodeName(s).mid(2) : s.toLatin1(); };
    auto chunk = [](quint16 type, const QByteArray& body) {
        QByteArray c;
        add32(c, quint32(body.size() + 6));
        add16(c, type);
        return c + body;
    };
    auto block = [&](const QString& owner, const QString& value) {
        QByteArray entry, b;
        const QByteArray v = text(value);
        add16(entry, quint32(v.size() + 8));
        add8(entry, 0);
        add8(entry, 10); // a text value
        add16(entry, 0); // the first name of the list
        add16(entry, quint32(v.size()));
        entry += v;
        const QByteArray o = text(owner);
        add32(b, quint32(o.size() + 6 + entry.size()));
        add16(b, quint32(o.size()));
        return b + o + entry;
    };
    QByteArray names;
    add16(names, quint32(text(name).size()));
    names += text(name);
    return QByteArray(m_jet4 ? "MR2\0" : "KKD\0", 4) + chunk(0x80, names) +
           chunk(0x00, block(QString(), QStringLiteral("Archivio dei tips"))) +
           chunk(0x01, block(column, QStringLiteral("Il titolo del tip")));
}

QByteArray Builder::build(const QList<Table>& tables, Layout* layout) {
    newPage(false, 0); // 0: the database page
    newPage(true, 0);  // 1: usage maps
    newPage(false, 0); // 2: MSysObjects
    QList<int> defs;
    for (qsizetype i = 0; i < tables.size(); ++i)
        defs.append(newPage(false, 0));

    Table catalog{QStringLiteral("MSysObjects"),
                  {{QStringLiteral("Id"), Long},
                   {QStringLiteral("ParentId"), Long},
                   {QStringLiteral("Name"), Text, 128},
                   {QStringLiteral("Type"), Int},
                   {QStringLiteral("Flags"), Long},
                   {QStringLiteral("LvProp"), Ole}},
                  {}};
    catalog.rows.append({{2, 0, catalog.name, 1, int(0x80000002), QVariant()}});
    for (qsizetype i = 0; i < tables.size(); ++i) {
        const QString column = tables[i].columns.value(1).name;
        catalog.rows.append({{defs[i], 0, tables[i].name, 1, 0, properties(column)}});
    }
    QList<const Table*> all{&catalog};
    QList<int> owners{2};
    for (qsizetype i = 0; i < tables.size(); ++i)
        all.append(&tables[i]), owners.append(defs[i]);

    QMap<int, QList<int>> dataPages;
    for (qsizetype t = 0; t < all.size(); ++t) {
        int page = -1;
        for (const Row& r : all[t]->rows) {
            const QByteArray bytes = packRow(*all[t], r);
            if (page < 0 || !fits(page, bytes.size())) {
                page = newPage(true, quint32(owners[t]));
                dataPages[int(t)].append(page);
            }
            addRow(page, bytes, r.deleted);
        }
    }
    for (qsizetype t = 0; t < all.size(); ++t) {
        const quint32 used = usageMap(dataPages.value(int(t)));
        const quint32 free = usageMap({});
        m_pages[owners[t]].header = definition(*all[t], used, free, t == 0);
    }
    m_pages[0].header = databasePage();

    QByteArray file;
    QList<QList<int>> offsets(m_pages.size());
    for (qsizetype p = 0; p < m_pages.size(); ++p) {
        QByteArray bytes = m_pages[p].rowPage ? layoutPage(m_pages[p], &offsets[p]) : m_pages[p].header;
        bytes.resize(m_pageSize, '\0');
        file += bytes;
    }
    if (layout) {
        layout->pageSize = m_pageSize;
        for (qsizetype t = 0; t < all.size(); ++t) {
            layout->definitionPage[all[t]->name] = owners[t];
            layout->dataPages[all[t]->name] = dataPages.value(int(t));
        }
        for (qsizetype p = 0; p < m_pages.size(); ++p)
            if (m_pages[p].rowPage && m_pages[p].owner == LvalTag) layout->memoPages.append(int(p));
        layout->firstPropertyEntry = findFirstPropertyEntry(file);
    }
    return file;
}

// The first property entry of the first table: after the magic, the chunk of names, and the
// header of the table's own chunk and block.
qsizetype findFirstPropertyEntry(const QByteArray& file) {
    qsizetype at = file.indexOf(QByteArray("MR2\0", 4));
    if (at < 0) at = file.indexOf(QByteArray("KKD\0", 4));
    if (at < 0) return -1;
    const auto u32 = [&](qsizetype i) {
        return quint32(quint8(file[i])) | quint32(quint8(file[i + 1])) << 8 |
               quint32(quint8(file[i + 2])) << 16 | quint32(quint8(file[i + 3])) << 24;
    };
    return at + 4 + u32(at + 4) + 6 + 6;
}

} // namespace

void Rc4(const QByteArray& key, char* data, int length) {
    unsigned char s[256];
    for (int i = 0; i < 256; ++i)
        s[i] = static_cast<unsigned char>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + static_cast<unsigned char>(key[i % key.size()])) & 0xff;
        std::swap(s[i], s[j]);
    }
    for (int n = 0, i = 0, j = 0; n < length; ++n) {
        i = (i + 1) & 0xff;
        j = (j + s[i]) & 0xff;
        std::swap(s[i], s[j]);
        data[n] = char(data[n] ^ s[(s[i] + s[j]) & 0xff]);
    }
}

QByteArray Build(const QList<Table>& tables, const Options& options, Layout* layout) {
    return Builder(options).build(tables, layout);
}

bool Write(const QString& path, const QList<Table>& tables, const Options& options, Layout* layout) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           f.write(Build(tables, options, layout)) >= 0 && f.flush();
}

QList<Column> TipsColumns() {
    return {{QStringLiteral("KeyPrimary"), Long, 4, true}, {QStringLiteral("Titolo"), Text, 60},
            {QStringLiteral("Procedura"), Memo},           {QStringLiteral("Categoria"), Text, 30},
            {QStringLiteral("ChiaveRicerca"), Text, 20},   {QStringLiteral("Note"), Text, 50},
            {QStringLiteral("Bookmark"), Byte, 1},         {QStringLiteral("Linguaggio"), Text, 10}};
}

Table TipsTable(const QList<QVariantList>& tips) {
    Table t{QStringLiteral("TipsTable"), TipsColumns(), {}};
    for (const QVariantList& values : tips)
        t.rows.append({values});
    return t;
}

} // namespace jetgen
