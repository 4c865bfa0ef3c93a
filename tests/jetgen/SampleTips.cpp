#include "SampleTips.h"

namespace jetgen {
namespace {

const QVariant Null;

QList<QVariantList> allRows() {
    const QString s = QStringLiteral("Perché la città è là: “virgolette” e 10 €\r\nseconda riga\r\n");
    // KeyPrimary, Titolo, Procedura, Categoria, ChiaveRicerca, Note, Bookmark, Linguaggio
    return {
        {3, QStringLiteral("Perché così"), s, QStringLiteral("Varie"), QString(), Null, 1,
         QStringLiteral("VB")},
        {7, QStringLiteral("Zeta finale"), LongMemo(), Null, QStringLiteral("chiave"), QString(), 0, Null},
        {12, QStringLiteral("Alfa"), QString(), QString(), Null, QStringLiteral("nota ‘breve’"), 255,
         QString()},
        {13, QStringLiteral("Cancellato"), QStringLiteral("via"), Null, Null, Null, Null, Null}, // deleted
        {15, QString(), Null, QStringLiteral("Categoria €"), QStringLiteral("k"), QStringLiteral("n"), Null,
         QStringLiteral("C")},
        {21, Null, QStringLiteral("titolo Null"), Null, Null, Null, 1, Null},
    };
}

} // namespace

QString LongMemo() {
    QString memo;
    for (int i = 0; memo.size() < 20000; ++i)
        memo += QStringLiteral("Riga %1: però “così” costa 5 €\r\n").arg(i);
    return memo;
}

Table SampleTipsTable() {
    Table t = TipsTable(allRows());
    t.rows[3].deleted = true;
    return t;
}

QList<QVariantList> SampleTips() {
    QList<QVariantList> tips = allRows();
    tips.removeAt(3);
    return tips;
}

} // namespace jetgen
