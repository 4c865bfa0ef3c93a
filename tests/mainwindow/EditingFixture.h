#pragma once
// A real main window on a real archive in a temporary folder, for the editing, mode and bookmark
// tests: the archive is filled through the engine and read back through plain SQLite once the
// window has let it go, so the tests see exactly what reached the file.

#include "MessageBoxWatcher.h"
#include "engine/Database.h"
#include "mainwindow/frmTips.h"
#include "startup/GenericBas.h"
#include "tipsdb/CreateDB.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <sqlite3.h>

struct Tip {
    Tip(QString t, QString p = QStringLiteral("corpo"), QString c = QStringLiteral("Varie"),
        QVariant k = QString(), QVariant n = QString(), QVariant b = QVariant())
        : titolo(std::move(t)), procedura(std::move(p)), categoria(std::move(c)), chiave(std::move(k)),
          note(std::move(n)), bookmark(std::move(b)) {}
    QString titolo, procedura, categoria;
    QVariant chiave, note;
    QVariant bookmark; // Null unless given
};

class EditingFixture {
public:
    EditingFixture() : path(dir.filePath(QStringLiteral("Quillnote.mdb"))) {}
    ~EditingFixture() { closeWindow(); }

    // A new archive holding `tips`, added in this order through the engine.
    bool create(const QList<Tip>& tips) {
        if (!CreateDB::CreateTipsDatabase(path)) return false;
        try {
            auto db = qn::DBEngine::Workspaces(0).OpenDatabase(path, true, false);
            auto rs = db->OpenRecordset(QStringLiteral("TipsTable"), qn::dbOpenDynaset);
            for (const Tip& t : tips) {
                rs->AddNew();
                rs->Fields(QStringLiteral("Titolo")).SetValue(t.titolo);
                rs->Fields(QStringLiteral("Procedura")).SetValue(t.procedura);
                rs->Fields(QStringLiteral("Categoria")).SetValue(t.categoria);
                rs->Fields(QStringLiteral("ChiaveRicerca")).SetValue(t.chiave);
                rs->Fields(QStringLiteral("Note")).SetValue(t.note);
                rs->Fields(QStringLiteral("Bookmark")).SetValue(t.bookmark);
                rs->Update();
            }
            rs->Close();
            db->Close();
        } catch (const qn::EngineError& e) {
            qWarning() << "fixture:" << e.number() << e.description();
            return false;
        }
        return true;
    }

    // One statement through plain SQLite, as another program would write it.
    bool rawExec(const char* sql) const {
        sqlite3* db = nullptr;
        bool ok =
            sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
            sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
        sqlite3_close(db);
        return ok;
    }

    // Loads the window on the archive as start-up does; `loadAnswers` answer the boxes of the load.
    void open(const QList<QMessageBox::StandardButton>& loadAnswers = {}) {
        GenericBas::DatabasePath = path;
        window = std::make_unique<frmTips>();
        if (!loadAnswers.isEmpty()) boxes.arm(loadAnswers);
        window->Form_Load();
        QCoreApplication::processEvents();
    }

    // Closes the window (which unloads it) and drops the program-wide objects, so the file is free.
    void closeWindow() {
        if (window) {
            window->close();
            window.reset();
        }
        GenericBas::TipsRecordset.reset();
        GenericBas::TipsDatabase.reset();
    }

    // Every row of TipsTable by key, read through plain SQLite: key|Titolo|Procedura|Categoria|
    // ChiaveRicerca|Note|Bookmark, with "<null>" for Null.
    QStringList rows() const {
        QStringList out;
        sqlite3* db = nullptr;
        if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
            sqlite3_stmt* st = nullptr;
            const char* sql =
                "SELECT KeyPrimary, Titolo, Procedura, Categoria, ChiaveRicerca, Note, Bookmark "
                "FROM TipsTable ORDER BY KeyPrimary";
            if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK) {
                while (sqlite3_step(st) == SQLITE_ROW) {
                    QStringList cols;
                    for (int i = 0; i < sqlite3_column_count(st); ++i)
                        cols << (sqlite3_column_type(st, i) == SQLITE_NULL
                                     ? QStringLiteral("<null>")
                                     : QString::fromUtf8(
                                           reinterpret_cast<const char*>(sqlite3_column_text(st, i))));
                    out << cols.join(QLatin1Char('|'));
                }
            } else {
                out << QStringLiteral("<query failed: %1>").arg(QString::fromUtf8(sqlite3_errmsg(db)));
            }
            sqlite3_finalize(st);
        }
        sqlite3_close(db);
        return out;
    }

    // Closes the window, then reads the rows.
    QStringList rowsAfterClose() {
        closeWindow();
        return rows();
    }

    template <class W> W* child(const QString& name) const {
        W* w = window ? window->findChild<W*>(name) : nullptr;
        if (!w) qWarning() << "no control" << name;
        return w;
    }
    QPushButton* button(const QString& name) const { return child<QPushButton>(name); }
    QPushButton* tool(int i) const { return button(QStringLiteral("cmdTool(%1)").arg(i)); }
    QComboBox* combo(const QString& name) const { return child<QComboBox>(name); }
    QWidget* box(int i) const { return child<QWidget>(QStringLiteral("txtdb(%1)").arg(i)); }
    QString boxText(int i) const {
        QWidget* w = box(i);
        if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
        if (auto* p = qobject_cast<QPlainTextEdit*>(w)) return p->toPlainText();
        return QStringLiteral("<no box>");
    }
    QString counter() const { return child<QLabel>(QStringLiteral("lblNumRecord"))->text(); }
    QWidget* focused() const { return window ? window->focusWidget() : nullptr; }

    void click(QPushButton* b) const { QTest::mouseClick(b, Qt::LeftButton); }
    // Clicks and answers the box it opens; false when no box came.
    bool clickAnswering(QPushButton* b, QMessageBox::StandardButton answer) {
        const int before = boxes.count();
        boxes.arm(answer);
        click(b);
        return boxes.waitForCount(before + 1);
    }
    // Replaces a field box's text as the user would type it.
    void type(int i, const QString& text) const {
        QWidget* w = box(i);
        if (auto* e = qobject_cast<QLineEdit*>(w))
            e->clear();
        else if (auto* p = qobject_cast<QPlainTextEdit*>(w))
            p->clear();
        // Key clicks cannot carry line breaks and tabs; such a text is pasted instead.
        if (auto* p = qobject_cast<QPlainTextEdit*>(w); p && text.contains(QRegularExpression("[\\n\\t]")))
            p->insertPlainText(text);
        else
            QTest::keyClicks(w, text);
    }
    void typeIn(QComboBox* cbo, const QString& text) const {
        cbo->clearEditText();
        QTest::keyClicks(cbo, text);
    }
    void enterEditMode() const { click(button(QStringLiteral("optWork(1)"))); }
    // A user's pick in a pick-only list: select the entry and report it as activated.
    void pick(QComboBox* cbo, const QString& text) const {
        const int i = cbo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
        cbo->setCurrentIndex(i);
        emit cbo->activated(i);
    }

    QTemporaryDir dir;
    const QString path;
    std::unique_ptr<frmTips> window;
    MessageBoxWatcher boxes;
};
