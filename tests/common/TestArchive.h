#pragma once
// A real main window on a tips archive in a temporary folder, loaded the way start-up loads it.
// Its message boxes are answered by a MessageBoxWatcher, and a box no answer was armed for fails
// the test. Once the window has let the file go, the rows are read back through plain SQLite, so
// a test sees exactly what reached the file.
//
//     ArchiveWindow w;
//     QVERIFY(w.open({{"Alfa"}, {"Beta"}}));            // new archive, then Form_Load
//     QCOMPARE(w.tip(), "Alfa 1  di  2");
//     QVERIFY(w.click("cmdTool(2)", {QMessageBox::Yes})); // waits for the box it answers
//     QCOMPARE(w.said().last(), Box("Sei sicuro…", QMessageBox::Question, Yes | No));
//     QCOMPARE(w.stored(), ...);                         // closes the window, reads the file

#include "MessageBoxWatcher.h"
#include "mainwindow/frmTips.h"

#include <QTest>
#include <QtWidgets>
#include <memory>

using Answers = QList<QMessageBox::StandardButton>;

// One tip in the table's field order; an invalid QVariant stores Null.
struct Tip {
    Tip(QVariant t, QVariant p = "corpo", QVariant c = "Varie", QVariant k = {}, QVariant n = {},
        QVariant b = {})
        : fields{t, p, c, k, n, b} {}
    QVariant fields[6]; // Titolo, Procedura, Categoria, ChiaveRicerca, Note, Bookmark
};

// A new tips archive at `path` holding `tips`, added in this order through the engine.
bool CreateTips(const QString& path, const QList<Tip>& tips = {});

// A message box as MessageBoxWatcher saw it: "title|icon|buttons|text".
QString Box(const QString& text, QMessageBox::Icon icon,
            QMessageBox::StandardButtons buttons = QMessageBox::Ok,
            const QString& title = QStringLiteral("Quillnote"));

class ArchiveWindow {
public:
    ~ArchiveWindow() {
        close();
        QCOMPARE(boxes.unexpected(), 0);
    }
    // A new archive holding `tips`, loaded; `answers` answer the load's boxes. `change` is made to the
    // file before: "chmod a-w" removes every write permission bit (which the window takes as
    // read-only even when run as root), any other text is SQL run as another program would run it.
    bool open(const QList<Tip>& tips, const Answers& answers = {}, const QString& change = {});
    // Form_Load with DatabasePath = `archive` (default: path).
    bool load(const Answers& answers = {}, const QString& archive = {});
    // Closes the window (it unloads) and drops the program-wide archive objects.
    void close();
    // Closes the window, then reads every row of TipsTable by key through plain SQLite:
    // "key|Titolo|Procedura|Categoria|ChiaveRicerca|Note|Bookmark", Null shown as "<null>".
    QStringList stored();

    QWidget* widget(const QString& name) const { return win->findChild<QWidget*>(name); }
    QString boxText(int index) const;
    // "title counter": the tip shown and its place, e.g. "Alfa 1  di  2".
    QString tip() const { return boxText(0) + ' ' + counter(); }
    QString counter() const { return win->lblNumRecord->text(); }
    QStringList items(const QString& comboName) const;
    // Every box seen so far, formatted as Box() formats it.
    QStringList said() const;

    // Each runs an action; false when the boxes answered by `answers` did not all come.
    bool click(const QString& name, const Answers& answers = {}) {
        return answering(answers, [&] { QTest::mouseClick(widget(name), Qt::LeftButton); });
    }
    // A user's pick in a list: selects the entry and reports it as activated.
    bool pick(const QString& comboName, const QString& text, const Answers& answers = {});
    // Replaces the text of a box or an editable list as the user would type it.
    void type(const QString& name, const QString& text);
    // Types title, procedure, category and key (as many as given) into the editing controls.
    void fill(const QStringList& values);

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
