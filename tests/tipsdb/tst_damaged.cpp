// A fixed corpus of 300 damaged archives (seeded: the same files every run): opening, reading
// every tip, searching and saving either work or end in an engine error with an Italian
// description; a refused file keeps its bytes, and no file is left beside any. One in fifteen
// also goes through the window, whose every message must be one of those it knows.
#include "ArchiveProbe.h"
#include "DamagedArchives.h"
#include "EngineFixture.h"
#include "TestArchive.h"

#include <QtTest>

class TestDamaged : public QObject {
    Q_OBJECT

private slots:
    void everyFileEndsWellOrInAMessage() {
        // In memory where possible: this is about damage, not about how long the disk takes to sync.
        QTemporaryDir dir((QDir("/dev/shm").exists() ? "/dev/shm" : QDir::tempPath()) + "/quillnote-XXXXXX");
        const QList<probe::Sample> sound = probe::soundArchives(dir.path());
        QCOMPARE(sound.size(), 3);
        const QList<probe::Sample> files = probe::damagedArchives(sound, 300, 20240611);
        const QRegularExpression known(
            "^(Impossibile aprire e/o modificare\n|Il [dD]atabase |Nessun record "
            "trovato|Attenzione: il database è vuoto!|Digitare |La lunghezza max consentita)");
        int opened = 0, accepted = 0, damaged = 0;
        for (int i = 0; i < int(files.size()); ++i) {
            const QString path = dir.filePath(QString("%1.mdb").arg(i)), name = files[i].name;
            const auto write = [&] {
                QFile f(path);
                return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(files[i].bytes) >= 0;
            };
            QVERIFY(write());
            const probe::Outcome out = probe::probeArchive(path);
            for (long number : out.errors)
                QVERIFY2(probe::isExplained(number), qPrintable(name + ": " + QString::number(number)));
            QVERIFY2(out.accepted || EngineFixture::fileBytes(path) == files[i].bytes, qPrintable(name));
            QVERIFY2(QDir(dir.path()).entryList({QString("%1.mdb-*").arg(i)}).isEmpty(), qPrintable(name));
            opened += out.opened;
            accepted += out.accepted;
            damaged += out.damaged;
            if (i % 15) continue;
            ArchiveWindow w; // boxes nobody answers are closed by the watcher and checked below
            QVERIFY(write() && w.load({}, path));
            QCOMPARE(w.win->DatabaseOpen, w.win->windowTitle().endsWith(QFileInfo(path).fileName()));
            if (w.win->DatabaseOpen) {
                w.win->SuppressArrowAnimation = true; // its frames only take time here
                for (int n = 0; n < 12; ++n)
                    w.click("cmdSposta(2)");
                w.pick("cboSelectResearch", "Titolo");
                w.type("txtFindTxt", "Tip 1");
                w.click("cmdSearch");
                w.click("optWork(1)") && w.click("cmdTool(4)");
                w.type("txtdb(4)", "letto");
                w.click("cmdTool(1)");
            }
            w.close();
            for (QString text : w.said()) {
                text = text.section('|', 3);
                QVERIFY2(text.startsWith("Errore numero: ")
                             ? probe::isExplained(text.section('\n', 0, 0).section(' ', 2).toLong())
                             : known.match(text).hasMatch(),
                         qPrintable(name + ": " + text));
            }
            QVERIFY2(out.accepted || EngineFixture::fileBytes(path) == files[i].bytes, qPrintable(name));
            w.boxes.clear(); // every box was checked above
        }
        qInfo("files=300 opened=%d accepted=%d damage_met=%d", opened, accepted, damaged);
        // The corpus holds all kinds: refused at once, refused after opening, accepted, damage met late.
        QVERIFY(opened < 300 && accepted < opened && accepted > 0 && damaged > 0);
    }
};

QTEST_MAIN(TestDamaged)
#include "tst_damaged.moc"
