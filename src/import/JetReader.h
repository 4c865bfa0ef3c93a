#pragma once
// Reads TipsTable out of an old Access archive (Jet 3 or Jet 4) through Debian's libmdb. libmdb
// finds the catalog, the table, its columns, its data pages and the fields of each row; the
// values themselves are taken from the row's bytes here, so that Null stays apart from the empty
// text (the row's null mask), memos come whole whatever their length, and text is decoded from
// the file's own encoding. The file is opened read-only.

#include <QString>
#include <QStringList>
#include <QVariant>
#include <array>
#include <functional>
#include <memory>

namespace qnimport {

// The fields of TipsTable, in the order of a tip's values.
inline constexpr std::array<const char*, 8> TipFields = {
    "KeyPrimary", "Titolo", "Procedura", "Categoria", "ChiaveRicerca", "Note", "Bookmark", "Linguaggio"};
enum TipField { Key, Title, Procedure, Category, SearchKey, Notes, Bookmark, Language };

struct OldTip {
    std::array<QVariant, 8> values; // invalid: Null; qlonglong for numbers, QString for text
    QStringList problems;           // what could not be read exactly, in Italian
    QString where;                  // page and row, for the report
    bool readable = true;           // false: the row's fields could not be taken apart
};

struct ReadCounts {
    long declared = 0;   // the row count the table definition gives
    long found = 0;      // rows in use, readable or not
    long unreadable = 0; // of those, rows whose fields could not be taken apart
    long deleted = 0;    // rows marked deleted: not tips
};

class JetReader {
public:
    JetReader();
    ~JetReader();
    JetReader(const JetReader&) = delete;
    JetReader& operator=(const JetReader&) = delete;

    // Each returns "" when it succeeded, otherwise why it could not (a sentence in Italian).
    QString Open(const QString& path);
    // TipsTable with the eight field names (exact case), each of a type that converts.
    QString FindTipsTable();
    // Every row in use goes to `tip`, readable or not (an unreadable one has problems and no values).
    void ReadRows(const std::function<void(OldTip&)>& tip);

    const ReadCounts& Counts() const;
    QString FormatName() const; // "Access 97" or "Access 2000"
    int CodePage() const;       // the code page of Jet 3 text; 0 for Jet 4

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace qnimport
