// Every save that returned is on disk: a child says "doing kind key text" before each change and
// "done key" after, and is killed (SIGKILL) at random; the file must pass the integrity check and
// hold every change done, the one in flight landed or not. QN_KILLS sets the number of kills.
#include "EngineFixture.h"
#include "TestArchive.h"
#include "startup/GenericBas.h"

#include <QtTest>
#include <iostream>
#include <map>
#include <optional>

namespace {

using Rows = std::map<qlonglong, QString>; // key -> Procedura

Rows fileRows(const QString& path) {
    Rows rows;
    for (const QString& row :
         EngineFixture::rawColumn(path, "SELECT KeyPrimary || '|' || ifnull(Procedura, '') FROM TipsTable"))
        rows[row.section('|', 0, 0).toLongLong()] = row.section('|', 1);
    return rows;
}

// Changes tips until killed, through the window's buttons or the engine as the window uses it, each
// storing a text of its own; lines flushed, as the kill may come next.
int child(int argc, char** argv) {
    const bool window = QByteArray(argv[1]) == "--window-child";
    const QString path = QString::fromLocal8Bit(argv[2]);
    const quint32 seed = QByteArray(argv[3]).toUInt();
    std::optional<QApplication> app; // the engine's child starts faster without one
    std::optional<ArchiveWindow> w;
    std::unique_ptr<qn::Database> db;
    std::unique_ptr<qn::Recordset> own;
    if (window) {
        app.emplace(argc, argv);
        if (!w.emplace().load({}, path) || !w->click("optWork(1)")) return 1;
    } else {
        db = qn::DBEngine::Workspaces(0).OpenDatabase(path, true, false);
        db->UseDeleteJournal();
        own = db->OpenRecordset("SELECT * FROM TipsTable ORDER BY[Titolo]ASC", qn::dbOpenDynaset);
    }
    const auto rs = [&] { return window ? GenericBas::TipsRecordset.get() : own.get(); };
    QRandomGenerator rng(seed);
    std::cout << "ready" << std::endl;
    for (int n = 0;; ++n) {
        const QString kind =
            rs()->RecordCount() < 4 ? "add" : QStringList{"add", "edit", "delete"}[rng.bounded(3)];
        const QString text = QString("%1-%2.").arg(seed).arg(n).repeated(1 + rng.bounded(800));
        window ? void(w->click(QString("cmdSposta(%1)").arg(rng.bounded(4))))
               : rs()->SetAbsolutePosition(rng.bounded(int(rs()->RecordCount())));
        qlonglong key = kind == "add" ? 0 : rs()->Fields("KeyPrimary").Value().toLongLong();
        std::cout << qPrintable(QString("doing %1 %2 %3").arg(kind).arg(key).arg(text)) << std::endl;
        if (window && kind == "delete") {
            if (!w->click("cmdTool(2)", {QMessageBox::Yes})) return 1;
        } else if (window) {
            w->click(kind == "add" ? "cmdTool(0)" : "cmdTool(4)");
            if (kind == "add") w->fill({text.left(20), "", "Soak"});
            w->win->txtProcedura->clear();
            w->win->txtProcedura->insertPlainText(text); // pasted
            w->click("cmdTool(1)");
            if (!w->win->cmdTool[0]->isEnabled()) return 1; // not saved: the parent fails on it
        } else if (kind == "delete") {
            rs()->Delete();
        } else {
            kind == "add" ? rs()->AddNew() : rs()->Edit();
            if (kind == "add") rs()->Fields("Titolo").SetValue(text.left(20));
            if (kind == "add") rs()->Fields("Categoria").SetValue("Soak"); // as the window requires
            rs()->Fields("Procedura").SetValue(text);
            rs()->Update();
            rs()->SetBookmark(rs()->LastModified());
        }
        if (kind != "delete") key = rs()->Fields("KeyPrimary").Value().toLongLong(); // an added tip is shown
        std::cout << "done " << key << std::endl;
    }
}

} // namespace

class TestDurability : public QObject {
    Q_OBJECT

private slots:
    void everyReportedSaveSurvivesAKill() {
        const int kills =
            qEnvironmentVariableIsSet("QN_KILLS") ? qEnvironmentVariableIntValue("QN_KILLS") : 200;
        QTemporaryDir dir;
        const QString path = dir.filePath("Quillnote.mdb");
        QVERIFY(CreateTips(path, {{"Alfa"}, {"Beta"}, {"Gamma"}, {"Delta"}, {"Epsilon"}}));
        Rows model = fileRows(path);
        QRandomGenerator rng(20240611);
        int acknowledged = 0, lost = 0, damaged = 0;
        for (int k = 0; k < kills; ++k) {
            const bool window = k % 8 == 7; // the window's start-up is slow: one kill in eight
            QProcess child;
            child.start(QCoreApplication::applicationFilePath(),
                        {window ? "--window-child" : "--engine-child", path, QString::number(k)});
            QByteArray out;
            while (!out.contains("ready\n") && child.waitForReadyRead(30000))
                out += child.readAllStandardOutput();
            QVERIFY2(out.contains("ready\n"), child.readAllStandardError().constData());
            QTest::qWait(rng.bounded(window ? 400 : 60));
            child.kill();
            QVERIFY(child.waitForFinished(30000) || child.state() == QProcess::NotRunning);
            out += child.readAllStandardOutput();
            QVERIFY2(child.exitStatus() == QProcess::CrashExit, out.right(300).constData()); // not failed
            // Replays the lines that arrived whole; the last "doing" may still be in flight.
            const auto apply = [](Rows& rows, const QStringList& change, qlonglong key) {
                change[1] == "delete" ? void(rows.erase(key)) : void(rows[key] = change[3]);
            };
            QStringList pending; // doing, kind, key, text
            for (const QByteArray& line : out.left(out.lastIndexOf('\n')).split('\n')) {
                const QStringList words = QString::fromUtf8(line).split(' ');
                if (words[0] == "doing") pending = words;
                if (words[0] != "done" || pending.isEmpty()) continue;
                apply(model, pending, words[1].toLongLong());
                ++acknowledged;
                pending.clear();
            }
            // A journal the kill left hot is rolled back by the first connection that may write.
            QCOMPARE(EngineFixture::rawExec(path, "SELECT count(*) FROM sqlite_master"), 0);
            damaged += EngineFixture::rawColumn(path, "PRAGMA integrity_check") != QStringList{"ok"};
            const Rows stored = fileRows(path);
            Rows landed = model; // with the change in flight; an added tip has the highest key
            if (!pending.isEmpty() && !stored.empty())
                apply(landed, pending,
                      pending[1] == "add" ? stored.rbegin()->first : pending[2].toLongLong());
            if (stored != model && stored != landed) {
                ++lost;
                qWarning() << "kill" << k << (window ? "window" : "engine") << pending.mid(0, 3);
            }
            model = stored;
        }
        qInfo("kills=%d acknowledged_saves=%d lost=%d integrity_failures=%d", kills, acknowledged, lost,
              damaged);
        QCOMPARE(lost, 0);
        QCOMPARE(damaged, 0);
        QVERIFY(acknowledged > kills); // the children did work before they were killed
    }
};

int main(int argc, char** argv) {
    if (argc == 4 && QByteArray(argv[1]).endsWith("-child")) return child(argc, argv);
    QCoreApplication app(argc, argv);
    TestDurability test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_durability.moc"
