// A fixed corpus of 300 damaged archives (seeded, so the same files every run): opening,
// reading every tip, searching and saving either work or end in an engine error the user is
// told about in Italian; a file that is not accepted keeps its bytes and gets no file beside it.
// One in fifteen also goes through the window, whose messages must all be ones it knows.
#include "ArchiveProbe.h"
#include "DamagedArchives.h"
#include "EngineFixture.h"
#include "TestArchive.h"
#include "startup/GenericBas.h"

#include <QtTest>

namespace {

constexpr int kFiles = 300;
constexpr unsigned kSeed = 20240611;

// Whether a message box of the window is one of those the opening, browsing, searching and
// saving paths may show.
bool knownMessage(const QString& text) {
    static const QStringList fixed = {"Impossibile aprire e/o modificare\n",
                                      "Il database ",
                                      "Il Database ",
                                      "Nessun record trovato",
                                      "Attenzione: il database è vuoto!",
                                      "Digitare ",
                                      "La lunghezza max consentita"};
    if (text.startsWith("Errore numero: "))
        return probe::isExplained(text.section('\n', 0, 0).section(' ', 2).toLong());
    for (const QString& start : fixed)
        if (text.startsWith(start)) return true;
    return false;
}

QStringList beside(const QString& path) {
    const QFileInfo f(path);
    return f.dir().entryList({f.fileName() + "-*"}, QDir::Files);
}

} // namespace

class TestDamaged : public QObject {
    Q_OBJECT

    // In memory when the system has a memory file system: this test is about damage, not about
    // how long the disk takes to sync the saves it makes.
    QTemporaryDir m_dir{QDir("/dev/shm").exists() ? "/dev/shm/quillnote-XXXXXX"
                                                  : QDir::tempPath() + "/quillnote-XXXXXX"};
    QList<probe::Sample> m_files;
    QList<bool> m_accepted;

    QString write(int i) {
        const QString path = m_dir.filePath(QString("%1.mdb").arg(i));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            f.write(m_files[i].bytes) != m_files[i].bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

private slots:
    void initTestCase() {
        const QList<probe::Sample> sound = probe::soundArchives(m_dir.path());
        QCOMPARE(sound.size(), 3);
        m_files = probe::damagedArchives(sound, kFiles, kSeed);
    }

    void everyFileEndsWellOrInAMessage() {
        int opened = 0, damaged = 0, unreadable = 0;
        for (int i = 0; i < kFiles; ++i) {
            const QString path = write(i);
            const probe::Outcome out = probe::probeArchive(path);
            const QByteArray name = m_files[i].name.toUtf8();
            for (long number : out.errors)
                QVERIFY2(probe::isExplained(number),
                         qPrintable(m_files[i].name + ": " + QString::number(number)));
            if (!out.accepted) QVERIFY2(EngineFixture::fileBytes(path) == m_files[i].bytes, name.constData());
            QVERIFY2(beside(path).isEmpty(), name.constData());
            m_accepted << out.accepted;
            opened += out.opened;
            damaged += out.damaged;
            unreadable += out.unreadable > 0;
        }
        const int accepted = int(m_accepted.count(true));
        qInfo("files=%d opened=%d accepted=%d damage_met=%d with_unreadable_tips=%d", kFiles, opened,
              accepted, damaged, unreadable);
        // The corpus holds all kinds: refused at once, refused after opening, accepted, and damage met late.
        QVERIFY(opened < kFiles && accepted < opened && accepted > 0 && damaged > 0);
    }

    void theWindowSaysWhatHappened() {
        QCOMPARE(m_accepted.size(), kFiles);
        for (int i = 0; i < kFiles; i += 15) {
            const QString path = write(i);
            ArchiveWindow w; // boxes nobody answers are closed by the watcher and checked below
            QVERIFY(w.load({}, path));
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
            for (const QString& text : w.said())
                QVERIFY2(knownMessage(text.section('|', 3)), qPrintable(m_files[i].name + ": " + text));
            if (!m_accepted[i])
                QVERIFY2(EngineFixture::fileBytes(path) == m_files[i].bytes, qPrintable(m_files[i].name));
            w.boxes.clear(); // every box was checked above
        }
    }
};

QTEST_MAIN(TestDamaged)
#include "tst_damaged.moc"
