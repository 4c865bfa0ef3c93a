#pragma once
// Private to the engine: the keyset of a record set and its compact row cache.
//
// Rows are encoded one after another in a single byte buffer (a tag byte, then 8 bytes for a
// number or a 4-byte length and the bytes for text and blobs), with one offset per row, so that
// 100,000 cached titles cost a few megabytes instead of a QVariant per value.

#include <QVariant>
#include <cstdint>
#include <string>
#include <vector>

namespace qn {

class Statement;

class RowCache {
public:
    // Appends a row made of the statement's columns [first, first + count).
    void append(int64_t key, const Statement& s, int first, int count);
    // Appends a row of `count` columns whose values are not read yet (see isPending).
    void appendPending(int64_t key, int count);
    // Replaces the cached values of row `row` (the key stays).
    void replace(size_t row, const Statement& s, int first, int count);
    void erase(size_t row);
    void clear();

    size_t size() const { return m_keys.size(); }
    int64_t key(size_t row) const { return m_keys[row]; }
    const std::vector<int64_t>& keys() const { return m_keys; }
    // The index of `key`, or -1.
    long find(int64_t key) const;

    // A cached value as stored: qlonglong, double, QString, QByteArray or an invalid QVariant.
    QVariant value(size_t row, int column) const;
    bool isNull(size_t row, int column) const;
    // True for a row appended by appendPending and not replaced since.
    bool isPending(size_t row) const;
    // The cached bytes of a text value; false when the value is not text.
    bool text(size_t row, int column, const char*& bytes, int& size) const;
    // A cached whole number; false when the value is not one.
    bool integer(size_t row, int column, int64_t& value) const;

private:
    size_t encode(const Statement& s, int first, int count);
    const char* locate(size_t row, int column) const;
    std::vector<int64_t> m_keys;
    std::vector<uint64_t> m_offsets;
    std::string m_data;
    size_t m_garbage = 0; // bytes of replaced rows, reclaimed by compact()
    size_t m_columns = 0;
    void compact();
    size_t rowBytes(size_t row) const;
};

} // namespace qn
