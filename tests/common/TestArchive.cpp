#include "TestArchive.h"

#include "EngineFixture.h"
#include "engine/Database.h"
#include "startup/GenericBas.h"
#include "tipsdb/CreateDB.h"

#include <QDebug>
#include <QFile>
#include <QTest>

namespace TestArchive {

bool CreateTips(const QString& path, const QList<Tip>& tips) {
    static const char* const names[] = {"Titolo",        "Procedura", "Categoria",
                                        "ChiaveRicerca", "Note",      "Bookmark"};
    if (!CreateDB::CreateTipsDatabase(path)) return false;
    try {
        auto db = qn::DBEngine::Workspaces(0).OpenDatabase(path, true, false);
        auto rs = db->OpenRecordset(QStringLiteral("TipsTable"), qn::dbOpenDynaset);
        for (const Tip& t : tips) {
            rs->AddNew();
            for (int i = 0; i < 6; ++i)
                rs->Fields(QLatin1String(names[i])).SetValue(t.fields[i]);
            rs->Update();
        }
        return true;
    } catch (const qn::EngineError& e) {
        qWarning() << "test archive:" << e.number() << e.description();
        return false;
    }
}

bool MakeReadOnly(const QString& path) {
    return QFile::setPermissions(path,
                                 QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
}

bool IsFree(const QString& path) {
    return EngineFixture::errorOf(
               [&] { qn::DBEngine::Workspaces(0).OpenDatabase(path, true, true)->Close(); }) == 0;
}

QStringList Rows(const QString& path) {
    return EngineFixture::rawColumn(
        path,
        QStringLiteral("SELECT KeyPrimary||'|'||ifnull(Titolo,'<null>')||'|'||ifnull(Procedura,'<null>')"
                       "||'|'||ifnull(Categoria,'<null>')||'|'||ifnull(ChiaveRicerca,'<null>')||'|'"
                       "||ifnull(Note,'<null>')||'|'||ifnull(Bookmark,'<null>') "
                       "FROM TipsTable ORDER BY KeyPrimary"));
}

} // namespace TestArchive

QString Box(const QString& text, QMessageBox::Icon icon, QMessageBox::StandardButtons buttons,
            const QString& title) {
    return QStringLiteral("%1|%2|%3|%4").arg(title).arg(int(icon)).arg(buttons.toInt()).arg(text);
}

ArchiveWindow::ArchiveWindow() : path(dir.filePath(QStringLiteral("Quillnote.mdb"))) {}

bool ArchiveWindow::open(const QList<Tip>& tips, const Answers& answers, bool readOnly) {
    if (!TestArchive::CreateTips(path, tips) || (readOnly && !TestArchive::MakeReadOnly(path))) return false;
    load(answers);
    return answered(answers, 0);
}

void ArchiveWindow::load(const Answers& answers, const QString& archive) {
    GenericBas::DatabasePath = archive.isEmpty() ? path : archive;
    win = std::make_unique<frmTips>();
    boxes.arm(answers);
    win->Form_Load();
    QCoreApplication::processEvents();
}

void ArchiveWindow::close() {
    if (win) win->close();
    win.reset();
    GenericBas::TipsRecordset.reset();
    GenericBas::TipsDatabase.reset();
}

QStringList ArchiveWindow::stored() {
    close();
    return TestArchive::Rows(path);
}

QWidget* ArchiveWindow::widget(const QString& name) const {
    QWidget* w = win ? win->findChild<QWidget*>(name) : nullptr;
    if (!w) qWarning() << "no control" << name;
    return w;
}

QString ArchiveWindow::boxText(int index) const {
    QWidget* w = widget(QStringLiteral("txtdb(%1)").arg(index));
    if (auto* p = qobject_cast<QPlainTextEdit*>(w)) return p->toPlainText();
    return qobject_cast<QLineEdit*>(w)->text();
}

QString ArchiveWindow::counter() const {
    return win->lblNumRecord->text();
}

QStringList ArchiveWindow::items(const QString& comboName) const {
    QStringList out;
    const auto* c = qobject_cast<QComboBox*>(widget(comboName));
    for (int i = 0; i < c->count(); ++i)
        out << c->itemText(i);
    return out;
}

QStringList ArchiveWindow::said() const {
    QStringList out;
    for (const auto& s : boxes.seen())
        out << Box(s.text, s.icon, s.buttons, s.title);
    return out;
}

bool ArchiveWindow::answered(const Answers& answers, int before) {
    return boxes.waitForCount(before + static_cast<int>(answers.size()));
}

bool ArchiveWindow::click(const QString& name, const Answers& answers) {
    const int before = boxes.count();
    boxes.arm(answers);
    QTest::mouseClick(widget(name), Qt::LeftButton);
    return answered(answers, before);
}

bool ArchiveWindow::pick(const QString& comboName, const QString& text, const Answers& answers) {
    const int before = boxes.count();
    boxes.arm(answers);
    auto* c = qobject_cast<QComboBox*>(widget(comboName));
    const int i = c->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (i < 0) qWarning() << "no entry" << text << "in" << comboName;
    c->setCurrentIndex(i);
    emit c->activated(i);
    return answered(answers, before);
}

void ArchiveWindow::type(const QString& name, const QString& text) {
    QWidget* w = widget(name);
    if (auto* c = qobject_cast<QComboBox*>(w)) c->clearEditText();
    if (auto* e = qobject_cast<QLineEdit*>(w)) e->clear();
    if (auto* p = qobject_cast<QPlainTextEdit*>(w)) {
        // Key clicks cannot carry line breaks and tabs: such a text is pasted.
        p->clear();
        if (text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\t')))
            return p->insertPlainText(text);
    }
    QTest::keyClicks(w, text);
}

void ArchiveWindow::fill(const QStringList& values) {
    static const char* const names[] = {"txtdb(0)", "txtdb(1)", "cboInsertCategoria", "cboInsertKey"};
    for (int i = 0; i < values.size(); ++i)
        type(QLatin1String(names[i]), values.at(i));
}
