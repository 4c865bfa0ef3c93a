#include "TestArchive.h"

#include "EngineFixture.h"
#include "engine/Database.h"
#include "startup/GenericBas.h"
#include "tipsdb/CreateDB.h"

#include <QFile>

bool CreateTips(const QString& path, const QList<Tip>& tips) {
    const QStringList names = QString("Titolo Procedura Categoria ChiaveRicerca Note Bookmark").split(' ');
    return CreateDB::CreateTipsDatabase(path) &&
           EngineFixture::errorOf([&] {
               auto db = qn::DBEngine::Workspaces(0).OpenDatabase(path, true, false);
               auto rs = db->OpenRecordset(QStringLiteral("TipsTable"), qn::dbOpenDynaset);
               for (const Tip& t : tips) {
                   rs->AddNew();
                   for (int i = 0; i < 6; ++i)
                       rs->Fields(names[i]).SetValue(t.fields[i]);
                   rs->Update();
               }
           }) == 0;
}

QString Box(const QString& text, QMessageBox::Icon icon, QMessageBox::StandardButtons buttons,
            const QString& title) {
    return QStringLiteral("%1|%2|%3|%4").arg(title).arg(int(icon)).arg(buttons.toInt()).arg(text);
}

bool ArchiveWindow::open(const QList<Tip>& tips, const Answers& answers, const QString& change) {
    if (!CreateTips(path, tips)) return false;
    const bool changed =
        change == "chmod a-w"
            ? QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther)
            : change.isEmpty() || EngineFixture::rawExec(path, change) == 0;
    return changed && load(answers);
}

bool ArchiveWindow::load(const Answers& answers, const QString& archive) {
    GenericBas::DatabasePath = archive.isEmpty() ? path : archive;
    win = std::make_unique<frmTips>();
    return answering(answers, [&] { win->Form_Load(); });
}

QStringList ArchiveWindow::stored() {
    close();
    QStringList columns =
        QString("KeyPrimary Titolo Procedura Categoria ChiaveRicerca Note Bookmark").split(' ');
    for (QString& c : columns)
        c = "ifnull(" + c + ",'<null>')";
    return EngineFixture::rawColumn(path, "SELECT " + columns.join("||'|'||") +
                                              " FROM TipsTable ORDER BY KeyPrimary");
}

void ArchiveWindow::close() {
    if (win) win->close();
    win.reset();
    GenericBas::TipsRecordset.reset();
    GenericBas::TipsDatabase.reset();
}

QString ArchiveWindow::boxText(int index) const {
    QWidget* w = widget(QStringLiteral("txtdb(%1)").arg(index));
    if (auto* p = qobject_cast<QPlainTextEdit*>(w)) return p->toPlainText();
    return qobject_cast<QLineEdit*>(w)->text();
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

bool ArchiveWindow::pick(const QString& comboName, const QString& text, const Answers& answers) {
    auto* c = qobject_cast<QComboBox*>(widget(comboName));
    const int i = c->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    return i >= 0 && answering(answers, [&] {
               c->setCurrentIndex(i);
               emit c->activated(i);
           });
}

void ArchiveWindow::type(const QString& name, const QString& text) {
    QWidget* w = widget(name);
    if (auto* c = qobject_cast<QComboBox*>(w)) c->clearEditText();
    if (auto* e = qobject_cast<QLineEdit*>(w)) e->clear();
    if (auto* p = qobject_cast<QPlainTextEdit*>(w)) {
        // Key clicks cannot carry line breaks and tabs: such a text is pasted.
        p->clear();
        if (text.contains('\n') || text.contains('\t')) return p->insertPlainText(text);
    }
    QTest::keyClicks(w, text);
}

void ArchiveWindow::fill(const QStringList& values) {
    const QStringList names = QString("txtdb(0) txtdb(1) cboInsertCategoria cboInsertKey").split(' ');
    for (int i = 0; i < values.size(); ++i)
        type(names[i], values.at(i));
}
