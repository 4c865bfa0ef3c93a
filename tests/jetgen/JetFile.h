#pragma once
// Small Access archives of the Jet 3 (Access 97) and Jet 4 (Access 2000) formats, after the notes of
// Debian's libmdb3 (HACKING.md), whose every byte the tests know. No indexes: reading needs none.

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
// Where the parts of a file went, for tests that damage them.
struct Layout {
    int pageSize = 0, definitionPage = 0;          // of the first table given
    QList<int> dataPages, catalogPages, memoPages; // of the first table, of MSysObjects, of long values
    qsizetype firstPropertyEntry = -1;             // file offset of the first table property's length
};

// `codePage`: Jet 3's, of every text, named in the header.
QByteArray Build(const QList<Table>& tables, Format format = Format::Jet4, Layout* layout = nullptr,
                 int codePage = 1252);
bool Write(const QString& path, const QByteArray& bytes);

// TipsTable as the old program made it, each tip's values in the order of its fields.
Table TipsTable(const QList<QVariantList>& tips);
// Accents, €, curly quotes, CR LF, a memo of over 16 KB, Null and the empty text in every text field,
// Bookmark 1, 0, 255 and Null, keys with gaps; the fourth tip is deleted in SampleTipsTable().
QList<QVariantList> SampleTips(bool withDeleted = false);
Table SampleTipsTable();

} // namespace jetgen
