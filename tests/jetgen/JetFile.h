#pragma once
// Writes small Access archives of the Jet 3 (Access 97) and Jet 4 (Access 2000) formats, so the
// conversion of old archives is tested on files whose every byte the test knows. The layout
// follows the format notes that ship with Debian's libmdb3 (HACKING.md): a database page, a page of
// usage maps, the catalog table MSysObjects on page 2, table definitions, data pages and long
// value (memo) pages. Indexes are not written: reading a table never needs them.

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QVariant>

namespace jetgen {

enum class Format { Jet3, Jet4 };

enum Type : quint8 { Byte = 0x02, Int = 0x03, Long = 0x04, Text = 0x0a, Ole = 0x0b, Memo = 0x0c };

struct Column {
    QString name;
    Type type = Text;
    int size = 0; // Text: characters
    bool autoNumber = false;
};

// One value per column: an invalid QVariant is Null, a QString text or memo, a number otherwise
// (a QByteArray is stored as it stands, already encoded).
struct Row {
    QVariantList values;
    bool deleted = false; // written, then marked deleted as Access leaves it
};

struct Table {
    QString name;
    QList<Column> columns;
    QList<Row> rows;
    int declaredRows = -1; // the row count in the table definition; -1: the rows not deleted
};

struct Options {
    Format format = Format::Jet4;
    quint16 codePage = 1252; // Jet 3: the code page of every text, stored in the header
    bool compress = true;    // Jet 4: compressed UCS-2 wherever it is shorter
    int inlineMemo = 64;     // memos up to this many bytes stay in their row
};

// Where the parts of a file went, for tests that damage them.
struct Layout {
    int pageSize = 0;
    QMap<QString, int> definitionPage;   // table name → its definition page
    QMap<QString, QList<int>> dataPages; // table name → its data pages
    QList<int> memoPages;                // long value pages
    qsizetype firstPropertyEntry = -1;   // file offset of the length of the first property entry
};

// The whole file.
QByteArray Build(const QList<Table>& tables, const Options& options = {}, Layout* layout = nullptr);
bool Write(const QString& path, const QList<Table>& tables, const Options& options = {},
           Layout* layout = nullptr);

// TipsTable as the old program made it: KeyPrimary, Titolo, Procedura, Categoria, ChiaveRicerca,
// Note, Bookmark, Linguaggio. Each tip lists its values in that order.
Table TipsTable(const QList<QVariantList>& tips);
QList<Column> TipsColumns();

// The RC4 stream cipher the format uses on the database page.
void Rc4(const QByteArray& key, char* data, int length);

} // namespace jetgen
