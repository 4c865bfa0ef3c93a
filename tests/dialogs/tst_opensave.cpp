// The Open and Save As dialogs, driven as a user would: the real QFileDialog is found as the
// active modal widget, a name is typed and the dialog accepted or cancelled.
#include "DialogDriver.h"
#include "MessageBoxWatcher.h"
#include "dialogs/OpenSave.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <stdexcept>

namespace {

const QString AccessFilter = QStringLiteral("Microsoft Access (.mdb)|*.mdb");

void Touch(const QString& path) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
}

struct Seen {
    QString title, directory, proposed, selectedFilter;
    QStringList filters;
};

// Records what the dialog shows, then types `name` (unless empty) and presses Open/Save,
// or cancels when `cancel`.
std::function<void(QFileDialog*)> Answer(Seen* seen, const QString& name, bool cancel = false) {
    return [=](QFileDialog* d) {
        seen->title = d->windowTitle();
        seen->directory = d->directory().absolutePath();
        seen->filters = d->nameFilters();
        seen->selectedFilter = d->selectedNameFilter();
        if (auto* edit = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
            seen->proposed = edit->text();
        if (cancel) {
            d->reject();
            return;
        }
        if (!name.isEmpty())
            TypeFileName(d, name);
        PressAccept(d);
    };
}

} // namespace

class tst_OpenSave : public QObject {
    Q_OBJECT

private slots:
    void openReturnsTheChosenPath();
    void openRefusesAMissingName();
    void cancelEmptiesTheName();
    void saveProposesTheNameAndAddsTheExtension();
    void saveAsksBeforeOverwriting();
    void filtersAndFilterIndex();
    void longNames();
};

void tst_OpenSave::openReturnsTheChosenPath() {
    QTemporaryDir dir;
    Touch(dir.filePath(QStringLiteral("tips.mdb")));
    OpenSave os;
    os.SetDialogTitle(QStringLiteral("Seleziona il DB da aprire"));
    os.SetFilter(AccessFilter);
    os.SetInitDir(dir.path());
    Seen seen;
    DialogDriver driver;
    driver.onFileDialog(Answer(&seen, QStringLiteral("tips.mdb")));
    os.ShowOpen();
    QCOMPARE(driver.done(), 1);
    QCOMPARE(os.FileName(), dir.filePath(QStringLiteral("tips.mdb")));
    QCOMPARE(seen.title, QStringLiteral("Seleziona il DB da aprire"));
    QCOMPARE(seen.directory, QDir(dir.path()).absolutePath());
}

void tst_OpenSave::openRefusesAMissingName() {
    QTemporaryDir dir;
    OpenSave os;
    os.SetInitDir(dir.path());
    os.SetFilter(AccessFilter);
    bool stillOpen = false;
    MessageBoxWatcher watcher; // the dialog's own warning
    watcher.arm(QMessageBox::Ok);
    DialogDriver driver;
    driver.onFileDialog([&](QFileDialog* d) {
        TypeFileName(d, QStringLiteral("manca.mdb"));
        PressAccept(d);
        stillOpen = d->isVisible();
        d->reject();
    });
    os.ShowOpen();
    QVERIFY(stillOpen);
    QCOMPARE(watcher.count(), 1);
    QVERIFY(watcher.last().text.contains(QStringLiteral("manca.mdb")));
    QCOMPARE(os.FileName(), QString());
}

void tst_OpenSave::cancelEmptiesTheName() {
    QTemporaryDir dir;
    for (bool save : {false, true}) {
        OpenSave os;
        os.SetInitDir(dir.path());
        os.SetFileName(QStringLiteral("Proposto.mdb"));
        Seen seen;
        DialogDriver driver;
        driver.onFileDialog(Answer(&seen, {}, true));
        save ? os.ShowSave() : os.ShowOpen();
        QCOMPARE(driver.done(), 1);
        QCOMPARE(os.FileName(), QString());
    }
}

void tst_OpenSave::saveProposesTheNameAndAddsTheExtension() {
    QTemporaryDir dir;
    OpenSave os;
    os.SetDialogTitle(QStringLiteral("Salva copia"));
    os.SetFilter(AccessFilter);
    os.SetFileName(dir.filePath(QStringLiteral("BackQuillnote.mdb")));
    os.SetDefaultExt(QStringLiteral("mdb"));
    Seen seen;
    DialogDriver driver;
    driver.onFileDialog(Answer(&seen, {})); // keeps the proposed name
    os.ShowSave();
    QCOMPARE(seen.proposed, QStringLiteral("BackQuillnote.mdb"));
    QCOMPARE(os.FileName(), dir.filePath(QStringLiteral("BackQuillnote.mdb")));

    // A typed name without extension gets the default one.
    os.SetFileName(QString());
    os.SetInitDir(dir.path());
    driver.onFileDialog(Answer(&seen, QStringLiteral("Nuovo")));
    os.ShowSave();
    QCOMPARE(os.FileName(), dir.filePath(QStringLiteral("Nuovo.mdb")));
}

void tst_OpenSave::saveAsksBeforeOverwriting() {
    QTemporaryDir dir;
    const QString existing = dir.filePath(QStringLiteral("esiste.mdb"));
    Touch(existing);
    OpenSave os;
    os.SetInitDir(dir.path());
    os.SetDefaultExt(QStringLiteral("mdb"));
    MessageBoxWatcher watcher;
    DialogDriver driver;
    bool stillOpen = false;
    // Refusing the overwrite keeps the dialog open; cancelling then gives "".
    driver.onFileDialog([&](QFileDialog* d) {
        watcher.arm(QMessageBox::No);
        TypeFileName(d, QStringLiteral("esiste.mdb"));
        PressAccept(d);
        stillOpen = d->isVisible();
        d->reject();
    });
    os.ShowSave();
    QVERIFY(stillOpen);
    QCOMPARE(watcher.count(), 1);
    QVERIFY(watcher.last().text.contains(QStringLiteral("esiste.mdb")));
    QCOMPARE(os.FileName(), QString());

    watcher.arm(QMessageBox::Yes);
    Seen seen;
    driver.onFileDialog(Answer(&seen, QStringLiteral("esiste.mdb")));
    os.ShowSave();
    QCOMPARE(watcher.count(), 2);
    QCOMPARE(os.FileName(), existing);
    QCOMPARE(watcher.unexpected(), 0);
}

void tst_OpenSave::filtersAndFilterIndex() {
    QTemporaryDir dir;
    OpenSave os;
    os.SetInitDir(dir.path());
    Seen seen;
    DialogDriver driver;

    os.SetFilter(AccessFilter);
    driver.onFileDialog(Answer(&seen, {}, true));
    os.ShowOpen();
    QCOMPARE(seen.filters, QStringList({"Microsoft Access (.mdb) (*.mdb)"}));

    os.SetFilter(QStringLiteral("Archivi|*.mdb|Copie|*.bak;*.old|Tutti i file|*.*"));
    os.SetFilterIndex(2);
    driver.onFileDialog(Answer(&seen, {}, true));
    os.ShowOpen();
    QCOMPARE(seen.filters, QStringList({"Archivi (*.mdb)", "Copie (*.bak *.old)", "Tutti i file (*.*)"}));
    QCOMPARE(seen.selectedFilter, QStringLiteral("Copie (*.bak *.old)"));
    QCOMPARE(os.FilterIndex(), 2L);

    // An index out of range selects the first filter.
    os.SetFilterIndex(9);
    driver.onFileDialog(Answer(&seen, {}, true));
    os.ShowOpen();
    QCOMPARE(seen.selectedFilter, QStringLiteral("Archivi (*.mdb)"));
    QCOMPARE(os.FilterIndex(), 9L);
}

void tst_OpenSave::longNames() {
    OpenSave os;
    os.SetFileName(QString(256, QLatin1Char('a')));
    QVERIFY_THROWS_EXCEPTION(std::length_error, os.ShowOpen());
    QVERIFY_THROWS_EXCEPTION(std::length_error, os.ShowSave());

    // 255 characters still fit.
    QTemporaryDir dir;
    os.SetFileName(QString(255, QLatin1Char('b')));
    os.SetInitDir(dir.path());
    Seen seen;
    DialogDriver driver;
    driver.onFileDialog(Answer(&seen, {}, true));
    os.ShowSave();
    QCOMPARE(driver.done(), 1);

    // A chosen path longer than 255 characters is not handed back.
    QString deep = dir.path();
    while (deep.size() < 260)
        deep += QStringLiteral("/cartella-con-un-nome-lungo");
    QVERIFY(QDir().mkpath(deep));
    Touch(deep + QStringLiteral("/x.mdb"));
    os.SetFileName(QString());
    os.SetInitDir(deep);
    driver.onFileDialog(Answer(&seen, QStringLiteral("x.mdb")));
    os.ShowOpen();
    QCOMPARE(driver.done(), 2);
    QCOMPARE(os.FileName(), QString());
}

QTEST_MAIN(tst_OpenSave)
#include "tst_opensave.moc"
