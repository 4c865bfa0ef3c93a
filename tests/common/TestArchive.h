#pragma once
// Archives for the main-window tests, made in a temporary folder through the engine, and a
// window loaded on one of them the way start-up loads it.
//
//     ArchiveWindow w;
//     QVERIFY(TestArchive::CreateTips(w.path, {TestArchive::Tip("Alfa"), TestArchive::Tip("Beta")}));
//     w.load();                       // Form_Load on w.path; boxes of the load go to w.boxes
//     QCOMPARE(w.counter(), "1  di  2");

#include "MessageBoxWatcher.h"
#include "mainwindow/frmTips.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>
#include <functional>
#include <memory>

class QComboBox;
class QFileDialog;
class QLabel;
class QPushButton;

namespace TestArchive {

// One tip; an invalid QVariant stores Null.
struct Tip {
    explicit Tip(QVariant title, QVariant category = QStringLiteral("Varie"), QVariant key = QVariant(),
                 QVariant procedure = QStringLiteral("corpo"))
        : titolo(std::move(title)), categoria(std::move(category)), chiave(std::move(key)),
          procedura(std::move(procedure)) {}
    Tip& withNote(QVariant n) {
        note = std::move(n);
        return *this;
    }
    Tip& marked(int value = 1) {
        bookmark = value;
        return *this;
    }

    QVariant titolo;
    QVariant categoria;
    QVariant chiave;
    QVariant procedura;
    QVariant note;
    QVariant bookmark;
};

// A new tips archive at `path` holding `tips`, added in this order.
bool CreateTips(const QString& path, const QList<Tip>& tips = {});
// Adds tips to an existing tips archive.
bool AddTips(const QString& path, const QList<Tip>& tips);
// A new archive holding one table `table` with text fields named `fields` and one empty row.
bool CreateTable(const QString& path, const QString& table, const QStringList& fields);
// The eight field names of a tips table.
QStringList TipsFieldNames();
// Removes every write permission bit (chmod a-w).
bool MakeReadOnly(const QString& path);
// Whether nothing holds the file: an exclusive opening through the engine succeeds.
bool IsFree(const QString& path);

} // namespace TestArchive

// Answers the next modal file dialog: picks `path`, or cancels when `path` is empty.
class FileDialogAnswer : public QObject {
    Q_OBJECT
public:
    explicit FileDialogAnswer(const QString& path, QObject* parent = nullptr);
    bool answered() const { return m_answered; }
    QString title() const { return m_title; }
    QStringList nameFilters() const { return m_filters; }

private:
    void poll();
    QString m_path;
    bool m_answered = false;
    QString m_title;
    QStringList m_filters;
};

// A real main window loaded on an archive of a temporary folder.
class ArchiveWindow {
public:
    ArchiveWindow();
    ~ArchiveWindow();

    // Form_Load with DatabasePath = `archive` (default: path); `answers` answer the load's boxes.
    void load(const QString& archive = {}, const QList<QMessageBox::StandardButton>& answers = {});
    // Closes the window (it unloads) and drops the program-wide archive objects.
    void close();

    template <class W> W* child(const QString& name) const { return window->findChild<W*>(name); }
    QPushButton* button(const QString& name) const;
    QComboBox* combo(const QString& name) const;
    QString boxText(int index) const;
    QString counter() const;
    QStringList items(const QString& comboName) const;
    // A user's pick in a list: selects the entry and reports it as activated.
    void pick(const QString& comboName, const QString& text) const;
    void click(const QString& buttonName) const;
    // Clicks and waits for the boxes it opens, answered with `answers`; false if they did not come.
    bool clickAnswering(const QString& buttonName, const QList<QMessageBox::StandardButton>& answers);
    bool pickAnswering(const QString& comboName, const QString& text,
                       const QList<QMessageBox::StandardButton>& answers);

    QTemporaryDir dir;
    const QString path;
    std::unique_ptr<frmTips> window;
    MessageBoxWatcher boxes;
};
