#include "tipsdb/TipsSql.h"

namespace tipsdb {

namespace {
const QString TitleOrder = QStringLiteral("'ORDER BY[Titolo]ASC");
} // namespace

QString QuoteSql(const QString& text) {
    if (!text.contains(QLatin1Char('\''))) return text;
    QString quoted = text;
    return quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
}

QString DefaultView() {
    return QStringLiteral("SELECT * FROM TipsTable ORDER BY[Titolo]ASC");
}

QString DistinctValues(const QString& field) {
    return QStringLiteral("SELECT ") + field + QStringLiteral(" FROM ") + TableName +
           QStringLiteral(" INDICE GROUP BY ") + field;
}

QString BookmarkedTips() {
    return QStringLiteral("SELECT * FROM ") + TableName + QStringLiteral(" WHERE [Bookmark] = 1");
}

QString EqualsFilter(const QString& field, const QString& value) {
    return QStringLiteral("SELECT * FROM ") + TableName + QStringLiteral(" WHERE [") + field +
           QStringLiteral("]='") + QuoteSql(value) + TitleOrder;
}

QString WordFilter(const QString& field, const QString& word) {
    return QStringLiteral("SELECT * FROM ") + TableName + QStringLiteral(" WHERE [") + field +
           QStringLiteral("] Like '*") + QuoteSql(word) + QLatin1Char('*') + TitleOrder;
}

QString RenameUpdate(const QString& field, const QString& newValue, const QString& oldValue) {
    return QStringLiteral("UPDATE ") + TableName + QStringLiteral(" SET ") + field + QStringLiteral(" = '") +
           QuoteSql(newValue) + QStringLiteral("' WHERE ") + field + QStringLiteral(" = '") +
           QuoteSql(oldValue) + QLatin1Char('\'');
}

QString TitleCriterion(const QString& title) {
    return QStringLiteral("Titolo = '") + QuoteSql(title) + QLatin1Char('\'');
}

QString KeyCriterion(qlonglong key) {
    return QStringLiteral("KeyPrimary =") + QString::number(key);
}

} // namespace tipsdb
