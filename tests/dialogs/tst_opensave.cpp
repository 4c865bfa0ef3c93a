// The Open and Save As dialogs, the real QFileDialog driven as a user drives it.
#include "DialogDriver.h"
#include "MessageBoxWatcher.h"
#include "dialogs/OpenSave.h"

#include <QtTest>
#include <QtWidgets>

// Cancels (`name` null) or types and confirms `name`: "title|folder|name|filter|filters|look|end".
static QString Show(OpenSave& os, bool save, const char* name,
                    const std::function<QString(QFileDialog*)>& look = {}) {
    QStringList shown;
    DialogDriver driver;
    driver.onFileDialog([&](QFileDialog* d) {
        shown << d->windowTitle() << d->directory().absolutePath()
              << d->findChild<QLineEdit*>("fileNameEdit")->text() << d->selectedNameFilter()
              << d->nameFilters().join(';') << (look ? look(d) : QString());
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
    void openAndSave() {
        QTemporaryDir dir;
        QVERIFY(QFile(dir.filePath("tips.mdb")).open(QIODevice::WriteOnly));
        OpenSave os;
        os.SetDialogTitle("Seleziona il DB da aprire");
        os.SetFilter("Archivi (.mdb)|*.mdb|Copie|*.bak;*.old|Documento PDF (*.pdf)|*.pdf");
        os.SetFilterIndex(2);
        os.SetInitDir(dir.path());
        // The patterns of one entry joined; a description that shows its pattern kept as it is.
        QCOMPARE(Show(os, false, "tips.mdb"),
                 "Seleziona il DB da aprire|" + dir.path() +
                     "||Copie (*.bak *.old)|Archivi (.mdb) (*.mdb);Copie (*.bak *.old);"
                     "Documento PDF (*.pdf)||chosen");
        QCOMPARE(os.FileName(), dir.filePath("tips.mdb"));
        // Cancelling empties the proposed name; an index out of range selects the first filter.
        os.SetFilterIndex(9);
        QCOMPARE(Show(os, false, nullptr).section('|', 2, 3), "tips.mdb|Archivi (.mdb) (*.mdb)");
        QVERIFY(os.FileName().isEmpty() && os.FilterIndex() == 9);
        // Its own checks: no missing file to open; overwriting asked, No keeps it open, Yes chooses.
        MessageBoxWatcher watcher;
        watcher.arm({QMessageBox::Ok, QMessageBox::No, QMessageBox::Yes});
        QVERIFY(Show(os, false, "manca.mdb").endsWith("|refused") && os.FileName().isEmpty());
        os.SetDefaultExt("mdb");
        QVERIFY(Show(os, true, "tips.mdb").endsWith("|refused") && os.FileName().isEmpty());
        QVERIFY(Show(os, true, "tips").endsWith("|chosen") && os.FileName() == dir.filePath("tips.mdb"));
        QVERIFY(watcher.count() == 3 && watcher.seen()[0].text.contains("manca.mdb") &&
                watcher.last().text.contains("tips.mdb"));
        // Over 255 characters, a proposed name throws and a chosen path is not handed back.
        os.SetFileName(QString(256, QLatin1Char('a')));
        QVERIFY_THROWS_EXCEPTION(std::length_error, os.ShowOpen());
        QVERIFY_THROWS_EXCEPTION(std::length_error, os.ShowSave());
        os.SetFileName(QString(255, QLatin1Char('b'))); // 255 are allowed
        QString deep = dir.path();
        while (deep.size() < 260)
            deep += "/cartella-con-un-nome-lungo";
        QVERIFY(QDir().mkpath(deep) && QFile(deep + "/x.mdb").open(QIODevice::WriteOnly));
        os.SetInitDir(deep);
        QVERIFY(Show(os, false, "x.mdb").endsWith("|chosen") && os.FileName().isEmpty());
    }

    // Sizes and dates in Italian whatever the system's locale; name, size and date whole at first.
    void italianColumnsAtFirstSize() {
        QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
        QTemporaryDir dir;
        QFile file(dir.filePath("Archivio dei miei suggerimenti di programmazione.mdb"));
        QVERIFY(
            file.open(QIODevice::WriteOnly) && file.write(QByteArray(1536000, 'x')) > 0 &&
            file.setFileTime(QDateTime(QDate(2026, 3, 9), QTime(14, 5)), QFileDevice::FileModificationTime));
        file.close();
        OpenSave os;
        os.SetInitDir(dir.path());
        const QString seen = Show(os, false, nullptr, [](QFileDialog* d) {
            auto* list = d->findChild<QTreeView*>("treeView");
            QStringList shown = {QString("%1x%2").arg(d->width() >= 720).arg(d->height() >= 480)};
            if (!QTest::qWaitFor([&] { return list->model()->rowCount(list->rootIndex()) == 1; }))
                return shown[0];
            QTest::qWait(50); // let the columns settle to their contents
            for (int column : {0, 1, 3}) {
                const QString text = list->model()->index(0, column, list->rootIndex()).data().toString();
                const int needed = list->fontMetrics().horizontalAdvance(text) + (column == 0 ? 24 : 0);
                shown << text + (list->header()->sectionSize(column) >= needed ? "" : " (cut)");
            }
            return shown.join(',');
        });
        QCOMPARE(seen.section('|', 5, 5),
                 "1x1," + file.fileName().section('/', -1) + ",1,46 MiB,09/03/26 14:05");
    }
};

QTEST_MAIN(tst_OpenSave)
#include "tst_opensave.moc"
