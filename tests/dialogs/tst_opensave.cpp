// The Open and Save As dialogs, driven as a user would: the real QFileDialog is found as the
// active modal widget, a name is typed and the dialog accepted or cancelled.
#include "DialogDriver.h"
#include "MessageBoxWatcher.h"
#include "dialogs/OpenSave.h"

#include <QtTest>
#include <QtWidgets>

namespace {

const QString AccessFilter = QStringLiteral("Microsoft Access (.mdb)|*.mdb");

struct Shown {
    QString title, folder, name, filter;
    QStringList filters;
    bool refused = false; // still open after Open/Save was pressed
};

// Shows the dialog and records what it shows; then cancels it (`typed` null), or types `typed`
// (unless empty) and presses Open/Save. A dialog that refuses the name is then cancelled.
Shown Show(OpenSave& os, bool save, const char* typed) {
    Shown s;
    DialogDriver driver;
    driver.onFileDialog([&](QFileDialog* d) {
        s = {d->windowTitle(), d->directory().absolutePath(),
             d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text(), d->selectedNameFilter(),
             d->nameFilters()};
        if (typed && *typed) TypeFileName(d, QString::fromUtf8(typed));
        if (typed) PressAccept(d);
        if ((s.refused = typed && d->isVisible()) || !typed) d->reject();
    });
    save ? os.ShowSave() : os.ShowOpen();
    return s;
}

} // namespace

class tst_OpenSave : public QObject {
    Q_OBJECT

private slots:
    void openChoosesOnlyExistingFiles() {
        QTemporaryDir dir;
        QVERIFY(QFile(dir.filePath("tips.mdb")).open(QIODevice::WriteOnly));
        OpenSave os;
        os.SetDialogTitle("Seleziona il DB da aprire");
        os.SetFilter(AccessFilter);
        os.SetInitDir(dir.path());
        const Shown s = Show(os, false, "tips.mdb");
        QCOMPARE(QStringList({s.title, s.folder}), QStringList({"Seleziona il DB da aprire", dir.path()}));
        QCOMPARE(s.filters, QStringList({"Microsoft Access (.mdb) (*.mdb)"}));
        QCOMPARE(os.FileName(), dir.filePath("tips.mdb"));
        // A name that does not exist is refused by the dialog itself.
        MessageBoxWatcher watcher;
        watcher.arm();
        os.SetFileName({}); // (a preselected file would keep the dialog open without a word)
        QVERIFY(Show(os, false, "manca.mdb").refused);
        QVERIFY(watcher.count() == 1 && watcher.last().text.contains("manca.mdb"));
        QCOMPARE(os.FileName(), QString());
    }

    void cancelEmptiesTheProposedName() {
        for (bool save : {false, true}) {
            OpenSave os;
            os.SetFileName("Proposto.mdb");
            QCOMPARE(Show(os, save, nullptr).name, "Proposto.mdb");
            QCOMPARE(os.FileName(), QString());
        }
    }

    void saveAddsTheExtensionAndAsksBeforeOverwriting() {
        QTemporaryDir dir;
        QVERIFY(QFile(dir.filePath("esiste.mdb")).open(QIODevice::WriteOnly));
        OpenSave os;
        os.SetFileName(dir.filePath("BackQuillnote.mdb"));
        os.SetDefaultExt("mdb");
        QCOMPARE(Show(os, true, "").name, "BackQuillnote.mdb");
        QCOMPARE(os.FileName(), dir.filePath("BackQuillnote.mdb"));
        Show(os, true, "Nuovo");
        QCOMPARE(os.FileName(), dir.filePath("Nuovo.mdb"));
        // No to the overwrite question keeps the dialog open; Yes returns the existing file.
        MessageBoxWatcher watcher;
        watcher.arm({QMessageBox::No, QMessageBox::Yes});
        QVERIFY(Show(os, true, "esiste.mdb").refused);
        QCOMPARE(os.FileName(), QString());
        os.SetInitDir(dir.path());
        QVERIFY(!Show(os, true, "esiste").refused);
        QCOMPARE(os.FileName(), dir.filePath("esiste.mdb"));
        QVERIFY(watcher.count() == 2 && watcher.last().text.contains("esiste.mdb"));
    }

    void filtersAndFilterIndex() {
        OpenSave os;
        os.SetFilter("Archivi|*.mdb|Copie|*.bak;*.old|Tutti i file|*.*");
        os.SetFilterIndex(2);
        const Shown s = Show(os, false, nullptr);
        QCOMPARE(s.filters, QStringList({"Archivi (*.mdb)", "Copie (*.bak *.old)", "Tutti i file (*.*)"}));
        QCOMPARE(s.filter, "Copie (*.bak *.old)");
        QCOMPARE(os.FilterIndex(), 2L);
        // An index out of range selects the first filter.
        os.SetFilterIndex(9);
        QCOMPARE(Show(os, false, nullptr).filter, "Archivi (*.mdb)");
        QCOMPARE(os.FilterIndex(), 9L);
    }

    void namesLongerThan255Characters() {
        OpenSave os;
        os.SetFileName(QString(256, QLatin1Char('a')));
        QVERIFY_THROWS_EXCEPTION(std::length_error, os.ShowOpen());
        QVERIFY_THROWS_EXCEPTION(std::length_error, os.ShowSave());
        os.SetFileName(QString(255, QLatin1Char('b')));
        QCOMPARE(Show(os, true, nullptr).name.size(), 255);
        // A chosen path that does not fit is not handed back.
        QTemporaryDir dir;
        QString deep = dir.path();
        while (deep.size() < 260)
            deep += "/cartella-con-un-nome-lungo";
        QVERIFY(QDir().mkpath(deep) && QFile(deep + "/x.mdb").open(QIODevice::WriteOnly));
        os.SetInitDir(deep);
        QVERIFY(!Show(os, false, "x.mdb").refused);
        QCOMPARE(os.FileName(), QString());
    }
};

QTEST_MAIN(tst_OpenSave)
#include "tst_opensave.moc"
