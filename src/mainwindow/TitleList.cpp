#include "mainwindow/TitleList.h"

#include "engine/Database.h"
#include "engine/TextOrder.h"

#include <QComboBox>
#include <QListView>
#include <algorithm>
#include <cstring>

namespace qn::ui {

namespace {

const QString KeyField = QStringLiteral("KeyPrimary");
const QString TitleField = QStringLiteral("Titolo");
// What QString::fromUtf8 puts for bytes that are not UTF-8: such a title is found by its text.
constexpr QChar Replacement(0xFFFD);

} // namespace

TitleList::TitleList(QObject* parent) : QAbstractListModel(parent) {}

int TitleList::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_entries.size());
}

QString TitleList::stringOf(const Entry& e) const {
    return QString::fromUtf8(textOf(e), static_cast<qsizetype>(e.size));
}

QVariant TitleList::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    return stringOf(m_entries[static_cast<size_t>(index.row())]);
}

bool TitleList::removeRows(int row, int count, const QModelIndex& parent) {
    if (parent.isValid() || row < 0 || count < 0 || row + count > rowCount()) return false;
    if (count == 0) return true;
    beginRemoveRows({}, row, row + count - 1);
    m_entries.erase(m_entries.begin() + row, m_entries.begin() + row + count);
    if (m_entries.empty()) {
        m_text.clear();
        m_garbage = 0;
    }
    m_wholeTable = false;
    endRemoveRows();
    return true;
}

QModelIndexList TitleList::match(const QModelIndex& start, int role, const QVariant& value, int hits,
                                 Qt::MatchFlags flags) const {
    // An exact match compares the values themselves, whatever the case flag says.
    const Qt::MatchFlags rest = flags & ~Qt::MatchFlags(Qt::MatchCaseSensitive);
    if (role == Qt::DisplayRole && rest == Qt::MatchFlags(Qt::MatchExactly) && hits == 1 &&
        start.row() == 0 && !start.parent().isValid() && value.typeId() == QMetaType::QString) {
        const int row = findExact(value.toString());
        return row < 0 ? QModelIndexList() : QModelIndexList{index(row)};
    }
    return QAbstractListModel::match(start, role, value, hits, flags);
}

void TitleList::append(qint64 key, const char* text, int size) {
    m_entries.push_back(Entry{key, static_cast<uint32_t>(m_text.size()), static_cast<uint32_t>(size)});
    m_text.append(text, static_cast<size_t>(size));
}

// Every title of `view` with its key; through the engine's list reader when the set keeps both
// fields in memory, else record by record as any other routine reads them.
void TitleList::appendAll(qn::Recordset& view) {
    const int title = view.FieldIndex(TitleField);
    const int key = view.FieldIndex(KeyField);
    if (title < 0) return;
    try {
        if (key >= 0) {
            const auto count = static_cast<size_t>(view.RecordCount());
            m_entries.reserve(count);
            m_text.reserve(count * 40); // titles run to 60 characters
            view.ReadTexts(key, title, [this](qint64 k, const char* text, int size) {
                if (text) append(k, text, size);
            });
            return;
        }
    } catch (const std::exception&) {
        m_entries.clear();
        m_text.clear();
    }
    long count = 0;
    try {
        view.MoveLast();
        count = view.RecordCount();
        view.MoveFirst();
    } catch (const std::exception&) {
    }
    for (long i = 0; i < count; ++i) {
        try {
            const QVariant value = view.Fields(title).Value();
            const qint64 k = key >= 0 ? view.Fields(key).Value().toLongLong() : 0;
            if (value.isValid()) {
                const QByteArray text = value.toString().toUtf8();
                append(k, text.constData(), static_cast<int>(text.size()));
            }
        } catch (const std::exception&) {
        }
        try {
            view.MoveNext();
        } catch (const std::exception&) {
            break;
        }
    }
}

void TitleList::load(qn::Recordset& view, const qn::Database& db, bool wholeTable) {
    beginResetModel();
    m_entries.clear();
    m_text.clear();
    m_garbage = 0;
    appendAll(view);
    m_wholeTable = wholeTable && view.FieldIndex(KeyField) >= 0;
    m_sorted = m_wholeTable ? 1 : -1; // the default view is in title order
    m_stamp = db.ChangeStamp();
    endResetModel();
}

bool TitleList::holdsWholeTable(const qn::Database& db) const {
    return m_wholeTable && m_stamp == db.ChangeStamp();
}

int TitleList::compare(const Entry& e, const char* text, int size) const {
    return qn::CompareText(textOf(e), static_cast<int>(e.size), text, size);
}

bool TitleList::sorted() const {
    if (m_sorted < 0) {
        m_sorted = 1;
        for (size_t i = 1; i < m_entries.size() && m_sorted; ++i)
            if (compare(m_entries[i - 1], textOf(m_entries[i]), static_cast<int>(m_entries[i].size)) > 0)
                m_sorted = 0;
    }
    return m_sorted == 1;
}

int TitleList::findExact(const QString& title) const {
    if (title.contains(Replacement) || !sorted()) {
        for (size_t i = 0; i < m_entries.size(); ++i)
            if (stringOf(m_entries[i]) == title) return static_cast<int>(i);
        return -1;
    }
    // Titles equal in the general order stand together; the exact one is among them.
    const QByteArray wanted = title.toUtf8();
    const int size = static_cast<int>(wanted.size());
    auto it = std::partition_point(m_entries.begin(), m_entries.end(),
                                   [&](const Entry& e) { return compare(e, wanted.constData(), size) < 0; });
    for (; it != m_entries.end() && compare(*it, wanted.constData(), size) == 0; ++it)
        if (it->size == static_cast<uint32_t>(size) &&
            std::memcmp(textOf(*it), wanted.constData(), it->size) == 0)
            return static_cast<int>(it - m_entries.begin());
    return -1;
}

int TitleList::rowOfKey(qint64 key) const {
    for (size_t i = 0; i < m_entries.size(); ++i)
        if (m_entries[i].key == key) return static_cast<int>(i);
    return -1;
}

void TitleList::removeAt(int row) {
    beginRemoveRows({}, row, row);
    m_garbage += m_entries[static_cast<size_t>(row)].size;
    m_entries.erase(m_entries.begin() + row);
    endRemoveRows();
    if (m_garbage > (1u << 20) && m_garbage > m_text.size() / 2) {
        std::string fresh;
        fresh.reserve(m_text.size() - m_garbage);
        for (Entry& e : m_entries) {
            const auto offset = static_cast<uint32_t>(fresh.size());
            fresh.append(textOf(e), e.size);
            e.offset = offset;
        }
        m_text.swap(fresh);
        m_garbage = 0;
    }
}

// After every title before it in the general order, equal titles by key: where a new default
// view puts it.
void TitleList::insertSorted(qint64 key, const QString& title) {
    const QByteArray text = title.toUtf8();
    const int size = static_cast<int>(text.size());
    const auto it = std::partition_point(m_entries.begin(), m_entries.end(), [&](const Entry& e) {
        const int c = compare(e, text.constData(), size);
        return c < 0 || (c == 0 && e.key < key);
    });
    const int row = static_cast<int>(it - m_entries.begin());
    beginInsertRows({}, row, row);
    m_entries.insert(it, Entry{key, static_cast<uint32_t>(m_text.size()), static_cast<uint32_t>(size)});
    m_text.append(text.constData(), static_cast<size_t>(size));
    endInsertRows();
}

// Whether the list followed the table up to stamp `before`, the last one before the window's write.
bool TitleList::following(quint64 before) {
    if (m_wholeTable && m_stamp == before) return true;
    m_wholeTable = false;
    return false;
}

void TitleList::titleStored(const qn::Database& db, quint64 before, qint64 key, const QVariant& title) {
    if (!following(before)) return;
    if (const int row = rowOfKey(key); row >= 0) removeAt(row);
    if (title.isValid()) insertSorted(key, title.toString());
    m_stamp = db.ChangeStamp();
}

void TitleList::recordDeleted(const qn::Database& db, quint64 before, qint64 key) {
    if (!following(before)) return;
    if (const int row = rowOfKey(key); row >= 0) removeAt(row);
    m_stamp = db.ChangeStamp();
}

void TitleList::titleKept(const qn::Database& db, quint64 before) {
    if (following(before)) m_stamp = db.ChangeStamp();
}

TitleList& TitlesOf(QComboBox* combo) {
    if (auto* titles = qobject_cast<TitleList*>(combo->model())) return *titles;
    auto* titles = new TitleList(combo);
    combo->setModel(titles);
    // Rows of one height: the drop-down of 100,000 titles opens without measuring each one.
    if (auto* view = qobject_cast<QListView*>(combo->view())) view->setUniformItemSizes(true);
    return *titles;
}

} // namespace qn::ui
