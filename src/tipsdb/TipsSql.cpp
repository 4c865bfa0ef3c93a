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

QString LikeWord(const QString& word) {
    // A '[' opens a set only when a ']' follows it somewhere; every '[' after the last ']' would
    // leave the pattern unclosed, which the engine refuses. Such a '[' is the set "[[]".
    const qsizetype lastClose = word.lastIndexOf(QLatin1Char(']'));
    QString pattern;
    pattern.reserve(word.size());
    for (qsizetype i = 0; i < word.size(); ++i) {
        if (word[i] == QLatin1Char('[') && i > lastClose)
            pattern += QStringLiteral("[[]");
        else
            pattern += word[i];
    }
    return pattern;
}

QString WordFilter(const QString& field, const QString& word) {
    return QStringLiteral("SELECT * FROM ") + TableName + QStringLiteral(" WHERE [") + field +
           QStringLiteral("] Like '*") + LikeWord(QuoteSql(word)) + QLatin1Char('*') + TitleOrder;
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
