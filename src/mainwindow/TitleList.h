#pragma once
// The entries of the title list cboTitoli: the titles of a view in the view's order, Null titles
// left out, held as UTF-8 in one buffer instead of an item object per title.
//
// When the list holds every title of the table (the default view), it is kept up to date in
// place after the window's own saves, deletes and bookmarks: the stored title is placed by a
// binary search in the engine's general order, equal titles by key, as a new view orders them.
// So a save no longer reads and sorts 100,000 titles again. The archive's change stamp says
// whether those were the only writes; after any other the list is read anew.

#include <QAbstractListModel>
#include <cstdint>
#include <string>
#include <vector>

class QComboBox;

namespace qn {
class Database;
class Recordset;
} // namespace qn

namespace qn::ui {

class TitleList : public QAbstractListModel {
    Q_OBJECT

public:
    explicit TitleList(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    // QComboBox::clear() removes every row.
    bool removeRows(int row, int count, const QModelIndex& parent = {}) override;
    // The exact, case-sensitive search of QComboBox::findText by a binary search when the list
    // is in title order; every other search as QAbstractItemModel does it.
    QModelIndexList match(const QModelIndex& start, int role, const QVariant& value, int hits = 1,
                          Qt::MatchFlags flags = Qt::MatchFlags(Qt::MatchStartsWith |
                                                                Qt::MatchWrap)) const override;

    // The titles of `view`, first record to last. `wholeTable`: `view` is the default view of
    // `db`, just opened; the list then follows the window's edits.
    void load(qn::Recordset& view, const qn::Database& db, bool wholeTable);
    // Whether the list holds every title of the table of `db` as it is now.
    bool holdsWholeTable(const qn::Database& db) const;

    // After a write the window made to `db`, `before` being the change stamp just before it: the
    // record `key` now has `title` (an invalid QVariant for Null), or is gone, or kept its title.
    void titleStored(const qn::Database& db, quint64 before, qint64 key, const QVariant& title);
    void recordDeleted(const qn::Database& db, quint64 before, qint64 key);
    void titleKept(const qn::Database& db, quint64 before);
    // The list no longer follows the table (a write it was not told about, a failure).
    void forgetTable() { m_wholeTable = false; }

private:
    struct Entry {
        qint64 key;
        uint32_t offset; // into m_text
        uint32_t size;
    };
    const char* textOf(const Entry& e) const { return m_text.data() + e.offset; }
    QString stringOf(const Entry& e) const;
    void append(qint64 key, const char* text, int size);
    void appendAll(qn::Recordset& view);
    int compare(const Entry& e, const char* text, int size) const;
    bool sorted() const;
    int findExact(const QString& title) const;
    int rowOfKey(qint64 key) const;
    void removeAt(int row);
    void insertSorted(qint64 key, const QString& title);
    bool following(quint64 before);

    std::vector<Entry> m_entries;
    std::string m_text;
    size_t m_garbage = 0;      // bytes of removed entries still in m_text
    bool m_wholeTable = false; // the entries are every title of the table in title order ...
    quint64 m_stamp = 0;       // ... as of this change stamp
    mutable int m_sorted = -1; // in title order: 1 yes, 0 no, -1 not known yet
};

// The title list of `combo`, which it is made the model of on first use.
TitleList& TitlesOf(QComboBox* combo);

} // namespace qn::ui
