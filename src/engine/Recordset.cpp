// The public Recordset and its field references: thin forwarding to RecordsetCore.

#include "engine/Database.h"
#include "engine/RecordsetCore.h"

namespace qn {

namespace {

RecordsetCore& coreOf(const std::unique_ptr<RecordsetCore>& core) {
    if (!core) throw EngineError::fromNumber(err::ObjectClosed);
    return *core;
}

} // namespace

Recordset::Recordset(std::unique_ptr<RecordsetCore> core) : m_core(std::move(core)) {}
Recordset::~Recordset() = default;

int Recordset::Type() const {
    return coreOf(m_core).type();
}
bool Recordset::Updatable() const {
    return coreOf(m_core).updatable();
}
long Recordset::RecordCount() const {
    RecordsetCore& c = coreOf(m_core);
    if (!c.isOpen()) throw EngineError::fromNumber(err::ObjectClosed);
    return c.count();
}
bool Recordset::IsBOF() const {
    return coreOf(m_core).bof();
}
bool Recordset::IsEOF() const {
    return coreOf(m_core).eof();
}
long Recordset::AbsolutePosition() const {
    return coreOf(m_core).absolutePosition();
}
void Recordset::SetAbsolutePosition(long position) {
    coreOf(m_core).setAbsolutePosition(position);
}

void Recordset::MoveFirst() {
    coreOf(m_core).moveFirst();
}
void Recordset::MoveLast() {
    coreOf(m_core).moveLast();
}
void Recordset::MoveNext() {
    coreOf(m_core).moveNext();
}
void Recordset::MovePrevious() {
    coreOf(m_core).movePrevious();
}

FieldRef Recordset::Fields(int index) {
    coreOf(m_core).field(index); // validates the index now, as the classic collection does
    return FieldRef(this, index);
}

FieldRef Recordset::Fields(const QString& name) {
    const int index = coreOf(m_core).fieldIndex(name);
    if (index < 0) throw EngineError::fromNumber(err::ItemNotFound);
    return FieldRef(this, index);
}

int Recordset::FieldIndex(const QString& name) const {
    return coreOf(m_core).fieldIndex(name);
}

void Recordset::AddNew() {
    coreOf(m_core).addNew();
}
void Recordset::Edit() {
    coreOf(m_core).edit();
}
void Recordset::Update() {
    coreOf(m_core).update();
}
void Recordset::CancelUpdate() {
    coreOf(m_core).cancelUpdate();
}
void Recordset::Delete() {
    coreOf(m_core).remove();
}
int Recordset::EditMode() const {
    return coreOf(m_core).editMode();
}

void Recordset::FindFirst(const QString& criteria) {
    coreOf(m_core).find(criteria, true, true);
}
void Recordset::FindLast(const QString& criteria) {
    coreOf(m_core).find(criteria, false, true);
}
void Recordset::FindNext(const QString& criteria) {
    coreOf(m_core).find(criteria, true, false);
}
void Recordset::FindPrevious(const QString& criteria) {
    coreOf(m_core).find(criteria, false, false);
}
bool Recordset::NoMatch() const {
    return coreOf(m_core).noMatch();
}

QByteArray Recordset::Bookmark() const {
    return coreOf(m_core).bookmark();
}
void Recordset::SetBookmark(const QByteArray& bookmark) {
    coreOf(m_core).setBookmark(bookmark);
}
QByteArray Recordset::LastModified() const {
    return coreOf(m_core).lastModified();
}

void Recordset::ReadTexts(int keyField, int textField,
                          const std::function<void(qint64 key, const char* text, int bytes)>& sink) {
    coreOf(m_core).readTexts(keyField, textField, sink);
}

void Recordset::Close() {
    if (m_core) m_core->close();
}

bool Recordset::IsOpen() const {
    return m_core && m_core->isOpen();
}

// ---- fields ------------------------------------------------------------------------------

QString FieldRef::Name() const {
    return coreOf(m_owner->m_core).field(m_index).name;
}
int FieldRef::Type() const {
    return coreOf(m_owner->m_core).field(m_index).type;
}
int FieldRef::Size() const {
    return coreOf(m_owner->m_core).field(m_index).size;
}
QVariant FieldRef::Value() const {
    return coreOf(m_owner->m_core).value(m_index);
}
void FieldRef::SetValue(const QVariant& value) {
    coreOf(m_owner->m_core).setValue(m_index, value);
}

int FieldsCollection::Count() const {
    return coreOf(m_owner->m_core).fieldCount();
}
FieldRef FieldsCollection::operator[](int index) const {
    return m_owner->Fields(index);
}
FieldRef FieldsCollection::operator[](const QString& name) const {
    return m_owner->Fields(name);
}

} // namespace qn
