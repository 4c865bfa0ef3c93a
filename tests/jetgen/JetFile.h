#pragma once
// Writes small Access archives of the Jet 3 (Access 97) and Jet 4 (Access 2000) formats, after the
// format notes of Debian's libmdb3 (HACKING.md), so the conversion is tested on files whose every
// byte the test knows: the database page, usage maps, the catalog MSysObjects (page 2), table
// definitions, data pages and long value (memo) pages. No indexes: reading a table needs none.

#include <QVariant>

namespace jetgen {

enum class Format { Jet3, Jet4 };
enum Type : quint8 { Byte = 0x02, Int = 0x03, Long = 0x04, Text = 0x0a, Ole = 0x0b, Memo = 0x0c };

struct Column {
    QString name;
    Type type = Text;
};
// One value per column: invalid is Null, a QString text, a QByteArray stored as it is, else a number.
struct Row {
    QVariantList values;
    bool deleted = false; // written, then marked deleted as Access leaves it
};
struct Table {
    QString name;
    QList<Column> columns{};
    QList<Row> rows{};
    int declaredRows = -1; // the row count in the definition; -1: the rows not deleted
};
struct Options {
    Format format = Format::Jet4;
    quint16 codePage = 1252; // Jet 3: the code page of every text, named in the header
};
// Where the parts of a file went, for tests that damage them.
struct Layout {
    int pageSize = 0, definitionPage = 0;          // of the first table given
    QList<int> dataPages, catalogPages, memoPages; // of the first table, of MSysObjects, of long values
    qsizetype firstPropertyEntry = -1;             // file offset of the first table property's length
};

QByteArray Build(const QList<Table>& tables, const Options& options = {}, Layout* layout = nullptr);
bool Write(const QString& path, const QByteArray& bytes);

// TipsTable as the old program made it; each tip lists KeyPrimary, Titolo, Procedura, Categoria,
// ChiaveRicerca, Note, Bookmark, Linguaggio.
Table TipsTable(const QList<QVariantList>& tips);
// Accents, €, curly quotes, CR LF, a memo of over 16 KB on several pages, Null and the empty text in
// every text field, Bookmark 1, 0, 255 and Null, keys with gaps, in key order; the fourth is deleted.
QList<QVariantList> SampleTips(bool withDeleted = false);
// TipsTable holding them, the fourth row deleted.
Table SampleTipsTable();

} // namespace jetgen
