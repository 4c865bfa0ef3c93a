#pragma once
// The SQL texts the program runs on TipsTable, in the engine's classic dialect. Every value
// placed between single quotes goes through QuoteSql first; nothing else is escaped, so a word
// search keeps the wildcard meaning of * ? # in what the user typed.

#include <QString>

namespace tipsdb {

inline const QString TableName = QStringLiteral("TipsTable");

// Every single quote doubled; a text without one comes back unchanged.
QString QuoteSql(const QString& text);

// The whole table in title order: the default view.
QString DefaultView();
// Each distinct value of `field` once: "SELECT f FROM TipsTable INDICE GROUP BY f".
QString DistinctValues(const QString& field);
// The bookmarked tips, in the order the engine returns them.
QString BookmarkedTips();
// The tips whose `field` equals `value`, in title order.
QString EqualsFilter(const QString& field, const QString& value);
// `word` as a Like pattern: as typed, except that a '[' which no ']' follows stands for itself
// (an unclosed set would make the engine refuse the whole search).
QString LikeWord(const QString& word);
// The tips whose `field` holds `word` anywhere ("Like '*word*'"), in title order; `word` is a
// Like pattern as typed (already trimmed by the caller).
QString WordFilter(const QString& field, const QString& word);
// Gives every tip whose `field` is `oldValue` the value `newValue` instead:
// "UPDATE TipsTable SET f = 'new' WHERE f = 'old'", both values through QuoteSql.
QString RenameUpdate(const QString& field, const QString& newValue, const QString& oldValue);
// FindFirst criterion of the title jump.
QString TitleCriterion(const QString& title);
// FindLast criterion that returns to a record by its key.
QString KeyCriterion(qlonglong key);

} // namespace tipsdb
