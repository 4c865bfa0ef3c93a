// The Open and Save As dialogs: the real QFileDialog is found as the active modal widget, a
// name is put into its name box and the dialog accepted (with its own checks) or cancelled.
#include "DialogDriver.h"
#include "MessageBoxWatcher.h"
#include "dialogs/OpenSave.h"

#include <QtTest>
#include <QtWidgets>

// Shows the dialog, then cancels it (`name` null) or accepts `name`; a dialog that refuses the
// name is cancelled. What it showed and how it ended:
// "title|folder|name|selected filter|all filters|chosen, refused or cancelled".
static QString Show(OpenSave& os, bool save, const char* name) {
    QStringList shown;
    DialogDriver driver;
    driver.onFileDialog([&](QFileDialog* d) {
        shown << d->windowTitle() << d->directory().absolutePath();
        shown << d->findChild<QLineEdit*>("fileNameEdit")->text() << d->selectedNameFilter();
        shown << d->nameFilters().join(';');
        if (name) DialogDriver::typeAndConfirm(d, QString::fromUtf8(name));
        shown << (!name ? "cancelled" : d->isVisible() ? "refused" : "chosen");
        if (d->isVisible()) d->reject();
    });
    save ? os.ShowSave() : os.ShowOpen();
    return shown.join('|');
}

class tst_OpenSave : public QObject {
    Q_OBJECT

private slots:
    void openDialog() {
        QTemporaryDir dir;
        QVERIFY(QFile(dir.filePath("tips.mdb")).open(QIODevice::WriteOnly));
        OpenSave os;
        os.SetDialogTitle("Seleziona il DB da aprire");
        os.SetFilter("Archivi (.mdb)|*.mdb|Copie|*.bak;*.old|Documento PDF (*.pdf)|*.pdf");
        os.SetFilterIndex(2);
        os.SetInitDir(dir.path());
        QCOMPARE(Show(os, false, "tips.mdb"),
                 "Seleziona il DB da aprire|" + dir.path() +
                     "||Copie (*.bak *.old)|Archivi (.mdb) (*.mdb);Copie (*.bak *.old);"
                     "Documento PDF (*.pdf)|chosen");
        QCOMPARE(os.FileName(), dir.filePath("tips.mdb"));
        // Cancelling empties the proposed name; an index out of range selects the first filter.
        os.SetFilterIndex(9);
        QCOMPARE(Show(os, false, nullptr).section('|', 2, 3), "tips.mdb|Archivi (.mdb) (*.mdb)");
        QVERIFY(os.FileName().isEmpty() && os.FilterIndex() == 9);
        // A name that does not exist is refused by the dialog itself.
        MessageBoxWatcher watcher;
        watcher.arm();
        QVERIFY(Show(os, false, "manca.mdb").endsWith("|refused") && os.FileName().isEmpty());
        QVERIFY(watcher.count() == 1 && watcher.last().text.contains("manca.mdb"));
    }

    void saveDialog() {
        QTemporaryDir dir;
        QVERIFY(QFile(dir.filePath("esiste.mdb")).open(QIODevice::WriteOnly));
        OpenSave os;
        os.SetFileName(dir.filePath("BackQuillnote.mdb"));
        os.SetDefaultExt("mdb");
        QCOMPARE(Show(os, true, nullptr).section('|', 1, 2), dir.path() + "|BackQuillnote.mdb");
        QCOMPARE(os.FileName(), QString());
        os.SetInitDir(dir.path());
        Show(os, true, "Nuovo");
        QCOMPARE(os.FileName(), dir.filePath("Nuovo.mdb"));
        // No to the overwrite question keeps the dialog open; Yes returns the existing file.
        MessageBoxWatcher watcher;
        watcher.arm({QMessageBox::No, QMessageBox::Yes});
        QVERIFY(Show(os, true, "esiste.mdb").endsWith("|refused") && os.FileName().isEmpty());
        QVERIFY(Show(os, true, "esiste").endsWith("|chosen") && os.FileName() == dir.filePath("esiste.mdb"));
        QVERIFY(watcher.count() == 2 && watcher.last().text.contains("esiste.mdb"));
    }

    // Sizes and dates read as Italian, whatever the system's locale, and at the first size the
    // name, size and date of an archive show whole.
    void italianColumnsAtFirstSize() {
        QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
        QTemporaryDir dir;
        QFile file(dir.filePath("Archivio dei miei suggerimenti di programmazione.mdb"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(1536000, 'x')) > 0);
        QVERIFY(file.setFileTime(QDateTime(QDate(2026, 3, 9), QTime(14, 5)), QFileDevice::FileModificationTime));
        file.close();
        OpenSave os;
        os.SetInitDir(dir.path());
        QStringList shown;
        DialogDriver driver;
        driver.onFileDialog([&](QFileDialog* d) {
            auto* list = d->findChild<QTreeView*>("treeView");
            QTRY_VERIFY(list->model()->rowCount(list->rootIndex()) == 1);
            QTest::qWait(50); // let the columns settle to their contents
            const QModelIndex row = list->model()->index(0, 0, list->rootIndex());
            shown << QString("%1x%2").arg(d->width() >= 720).arg(d->height() >= 480);
            for (int column : {0, 1, 3}) {
                const QString text = row.siblingAtColumn(column).data().toString();
                const int needed = list->fontMetrics().horizontalAdvance(text) + (column == 0 ? 24 : 0);
                shown << text + (list->header()->sectionSize(column) >= needed ? "" : " (cut)");
            }
            d->reject();
        });
        os.ShowOpen();
        QCOMPARE(shown, QStringList({"1x1", file.fileName().section('/', -1), "1,46 MiB", "09/03/26 14:05"}));
    }

    void namesLongerThan255Characters() {
        OpenSave os;
        os.SetFileName(QString(256, QLatin1Char('a')));
        QVERIFY_THROWS_EXCEPTION(std::length_error, os.ShowOpen());
        QVERIFY_THROWS_EXCEPTION(std::length_error, os.ShowSave());
        os.SetFileName(QString(255, QLatin1Char('b')));
        QCOMPARE(Show(os, true, nullptr).section('|', 2, 2).size(), 255);
        // A chosen path that does not fit is not handed back.
        QTemporaryDir dir;
        QString deep = dir.path();
        while (deep.size() < 260)
            deep += "/cartella-con-un-nome-lungo";
        QVERIFY(QDir().mkpath(deep) && QFile(deep + "/x.mdb").open(QIODevice::WriteOnly));
        os.SetInitDir(deep);
        QVERIFY(Show(os, false, "x.mdb").endsWith("|chosen") && os.FileName().isEmpty());
    }
};

QTEST_MAIN(tst_OpenSave)
#include "tst_opensave.moc"
