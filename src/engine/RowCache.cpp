#include "engine/RowCache.h"

#include "engine/Connection.h"

#include <cstring>
#include <sqlite3.h>

namespace qn {

namespace {

enum Tag : char { TagNull = 0, TagInt = 1, TagReal = 2, TagText = 3, TagBlob = 4, TagPending = 5 };

template <typename T> void put(std::string& out, const T& v) {
    out.append(reinterpret_cast<const char*>(&v), sizeof v);
}

template <typename T> T get(const char* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Bytes taken by the encoded value at p, tag included.
size_t encodedSize(const char* p) {
    switch (*p) {
    case TagInt:
    case TagReal:
        return 9;
    case TagText:
    case TagBlob:
        return 5 + get<uint32_t>(p + 1);
    default:
        return 1;
    }
}

} // namespace

size_t RowCache::encode(const Statement& s, int first, int count) {
    const size_t start = m_data.size();
    m_columns = static_cast<size_t>(count);
    sqlite3_stmt* st = s.handle();
    for (int c = first; c < first + count; ++c) {
        switch (sqlite3_column_type(st, c)) {
        case SQLITE_INTEGER:
            m_data.push_back(TagInt);
            put(m_data, static_cast<int64_t>(sqlite3_column_int64(st, c)));
            break;
        case SQLITE_FLOAT:
            m_data.push_back(TagReal);
            put(m_data, sqlite3_column_double(st, c));
            break;
        case SQLITE_TEXT: {
            auto text = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
            const auto bytes = static_cast<uint32_t>(sqlite3_column_bytes(st, c));
            m_data.push_back(TagText);
            put(m_data, bytes);
            m_data.append(text, bytes);
            break;
        }
        case SQLITE_BLOB: {
            auto blob = static_cast<const char*>(sqlite3_column_blob(st, c));
            const auto bytes = static_cast<uint32_t>(sqlite3_column_bytes(st, c));
            m_data.push_back(TagBlob);
            put(m_data, bytes);
            if (bytes) m_data.append(blob, bytes);
            break;
        }
        default:
            m_data.push_back(TagNull);
        }
    }
    return start;
}

void RowCache::append(int64_t key, const Statement& s, int first, int count) {
    m_offsets.push_back(encode(s, first, count));
    m_keys.push_back(key);
}

void RowCache::appendPending(int64_t key, int count) {
    m_columns = static_cast<size_t>(count);
    m_offsets.push_back(m_data.size());
    m_data.append(m_columns, TagPending);
    m_keys.push_back(key);
}

bool RowCache::isPending(size_t row) const {
    return m_columns > 0 && *locate(row, 0) == TagPending;
}

bool RowCache::text(size_t row, int column, const char*& bytes, int& size) const {
    const char* p = locate(row, column);
    if (*p != TagText) return false;
    bytes = p + 5;
    size = static_cast<int>(get<uint32_t>(p + 1));
    return true;
}

bool RowCache::integer(size_t row, int column, int64_t& value) const {
    const char* p = locate(row, column);
    if (*p != TagInt) return false;
    value = get<int64_t>(p + 1);
    return true;
}

size_t RowCache::rowBytes(size_t row) const {
    const char* p = m_data.data() + m_offsets[row];
    const char* q = p;
    for (size_t c = 0; c < m_columns; ++c)
        q += encodedSize(q);
    return static_cast<size_t>(q - p);
}

void RowCache::replace(size_t row, const Statement& s, int first, int count) {
    m_garbage += rowBytes(row);
    m_offsets[row] = encode(s, first, count);
    if (m_garbage > (1u << 20) && m_garbage > m_data.size() / 2) compact();
}

void RowCache::compact() {
    // Rows are variable-sized; re-encode them in order into a fresh buffer.
    std::string fresh;
    fresh.reserve(m_data.size() - m_garbage);
    std::vector<uint64_t> offsets(m_offsets.size());
    for (size_t r = 0; r < m_offsets.size(); ++r) {
        offsets[r] = fresh.size();
        fresh.append(m_data.data() + m_offsets[r], rowBytes(r));
    }
    m_data.swap(fresh);
    m_offsets.swap(offsets);
    m_garbage = 0;
}

void RowCache::erase(size_t row) {
    m_garbage += rowBytes(row);
    m_keys.erase(m_keys.begin() + static_cast<long>(row));
    m_offsets.erase(m_offsets.begin() + static_cast<long>(row));
}

void RowCache::clear() {
    m_keys.clear();
    m_offsets.clear();
    m_data.clear();
    m_garbage = 0;
}

long RowCache::find(int64_t key) const {
    for (size_t i = 0; i < m_keys.size(); ++i)
        if (m_keys[i] == key) return static_cast<long>(i);
    return -1;
}

const char* RowCache::locate(size_t row, int column) const {
    const char* p = m_data.data() + m_offsets[row];
    for (int c = 0; c < column; ++c)
        p += encodedSize(p);
    return p;
}

bool RowCache::isNull(size_t row, int column) const {
    return *locate(row, column) == TagNull;
}

QVariant RowCache::value(size_t row, int column) const {
    const char* p = locate(row, column);
    switch (*p) {
    case TagInt:
        return QVariant(static_cast<qlonglong>(get<int64_t>(p + 1)));
    case TagReal:
        return QVariant(get<double>(p + 1));
    case TagText:
        return QVariant(QString::fromUtf8(p + 5, static_cast<qsizetype>(get<uint32_t>(p + 1))));
    case TagBlob:
        return QVariant(QByteArray(p + 5, static_cast<qsizetype>(get<uint32_t>(p + 1))));
    default:
        return QVariant();
    }
}

} // namespace qn
