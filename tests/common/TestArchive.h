#pragma once
// A real main window on a tips archive in a temporary folder, loaded as start-up loads it. Its
// boxes are answered by a MessageBoxWatcher (a box no answer was armed for fails the test); once the
// window has let the file go, stored() reads the rows back through plain SQLite.
#include "EngineFixture.h"
#include "MessageBoxWatcher.h"
#include "mainwindow/frmTips.h"
#include "startup/GenericBas.h"
#include "tipsdb/CreateDB.h"

#include <QTest>
#include <QtWidgets>
#include <memory>

using Answers = QList<QMessageBox::StandardButton>;

inline const QStringList TipFields =
    QString("KeyPrimary Titolo Procedura Categoria ChiaveRicerca Note Bookmark").split(' ');

// One tip: Titolo, Procedura, Categoria, ChiaveRicerca, Note, Bookmark; invalid stores Null.
struct Tip {
    Tip(QVariant t, QVariant p = "corpo", QVariant c = "Varie", QVariant k = {}, QVariant n = {},
        QVariant b = {})
        : fields{t, p, c, k, n, b} {}
    QVariant fields[6];
};

// A new tips archive at `path` holding `tips`, added in order through the engine.
inline bool CreateTips(const QString& path, const QList<Tip>& tips = {}) {
    return CreateDB::CreateTipsDatabase(path) &&
           EngineFixture::errorOf([&] {
               auto db = qn::DBEngine::Workspaces(0).OpenDatabase(path, true, false);
               auto rs = db->OpenRecordset(QStringLiteral("TipsTable"), qn::dbOpenDynaset);
               for (const Tip& t : tips) {
                   rs->AddNew();
                   for (int i = 0; i < 6; ++i)
                       rs->Fields(TipFields[i + 1]).SetValue(t.fields[i]);
                   rs->Update();
               }
           }) == 0;
}

// A message box as MessageBoxWatcher saw it: "title|icon|buttons|text".
inline QString Box(const QString& text, QMessageBox::Icon icon,
                   QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                   const QString& title = QStringLiteral("Quillnote")) {
    return QStringLiteral("%1|%2|%3|%4").arg(title).arg(int(icon)).arg(buttons.toInt()).arg(text);
}

class ArchiveWindow {
public:
    ~ArchiveWindow() {
        close();
        QCOMPARE(boxes.unexpected(), 0);
    }
    // A new archive holding `tips`, loaded; `answers` answer the load's boxes. Before, `change` is
    // run on the file as SQL, or "chmod a-w" drops its write bits (read-only even for root).
    bool open(const QList<Tip>& tips, const Answers& answers = {}, const QString& change = {}) {
        if (!CreateTips(path, tips)) return false;
        const bool changed =
            change == "chmod a-w"
                ? QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther)
                : change.isEmpty() || EngineFixture::rawExec(path, change) == 0;
        return changed && load(answers);
    }
    // Form_Load with DatabasePath = `archive` (default: path).
    bool load(const Answers& answers = {}, const QString& archive = {}) {
        GenericBas::DatabasePath = archive.isEmpty() ? path : archive;
        win = std::make_unique<frmTips>();
        return answering(answers, [&] { win->Form_Load(); });
    }
    // Closes the window and drops the program-wide archive objects.
    void close() {
        if (win) win->close();
        win.reset();
        GenericBas::TipsRecordset.reset();
        GenericBas::TipsDatabase.reset();
    }
    // Closes, then every row by key: "key|Titolo|Procedura|Categoria|ChiaveRicerca|Note|Bookmark".
    QStringList stored() {
        close();
        const QString row = "ifnull(" + TipFields.join(",'<null>')||'|'||ifnull(") + ",'<null>')";
        return EngineFixture::rawColumn(path, "SELECT " + row + " FROM TipsTable ORDER BY KeyPrimary");
    }

    QWidget* widget(const QString& name) const { return win->findChild<QWidget*>(name); }
    QString boxText(int index) const {
        QWidget* w = widget(QStringLiteral("txtdb(%1)").arg(index));
        if (auto* p = qobject_cast<QPlainTextEdit*>(w)) return p->toPlainText();
        return qobject_cast<QLineEdit*>(w)->text();
    }
    // "title counter": the tip shown and its place, e.g. "Alfa 1  di  2".
    QString tip() const { return boxText(0) + ' ' + counter(); }
    QString counter() const { return win->lblNumRecord->text(); }
    QStringList items(const QString& comboName) const {
        QStringList out;
        const auto* c = qobject_cast<QComboBox*>(widget(comboName));
        for (int i = 0; i < c->count(); ++i)
            out << c->itemText(i);
        return out;
    }
    // Every box seen so far, as Box() formats it.
    QStringList said() const {
        QStringList out;
        for (const auto& s : boxes.seen())
            out << Box(s.text, s.icon, s.buttons, s.title);
        return out;
    }

    bool click(const QString& name, const Answers& answers = {}) {
        return answering(answers, [&] { QTest::mouseClick(widget(name), Qt::LeftButton); });
    }
    // Selects the entry and reports it as activated, as a user's pick.
    bool pick(const QString& comboName, const QString& text, const Answers& answers = {}) {
        auto* c = qobject_cast<QComboBox*>(widget(comboName));
        const int i = c->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
        return i >= 0 && answering(answers, [&] {
                   c->setCurrentIndex(i);
                   emit c->activated(i);
               });
    }
    // Replaces the text of a box or an editable list as the user types it; a text with line breaks
    // or tabs, which key clicks cannot carry, is pasted.
    void type(const QString& name, const QString& text) {
        QWidget* w = widget(name);
        if (auto* c = qobject_cast<QComboBox*>(w)) c->clearEditText();
        if (auto* e = qobject_cast<QLineEdit*>(w)) e->clear();
        if (auto* p = qobject_cast<QPlainTextEdit*>(w)) {
            p->clear();
            if (text.contains('\n') || text.contains('\t')) return p->insertPlainText(text);
        }
        QTest::keyClicks(w, text);
    }
    // Types title, procedure, category and key (as many as given).
    void fill(const QStringList& values) {
        const QStringList names = QString("txtdb(0) txtdb(1) cboInsertCategoria cboInsertKey").split(' ');
        for (int i = 0; i < values.size(); ++i)
            type(names[i], values[i]);
    }

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Quillnote.mdb"));
    std::unique_ptr<frmTips> win;
    MessageBoxWatcher boxes;

    // Runs `action`; false when the boxes answered by `answers` did not all come.
    template <class F> bool answering(const Answers& answers, F action) {
        const int before = boxes.count();
        boxes.arm(answers);
        action();
        QCoreApplication::processEvents();
        return boxes.waitForCount(before + int(answers.size()));
    }
};
