// What durability costs: the same saves with every fsync made (the program as it runs) and with
// none, through an SQLite file layer that forwards everything but the syncs. Each case is an
// edited tip stored through the window (Modifica, Salva: the title list is refilled too), with
// store_ms for the engine's Update alone, averaged over a run of saves; the best of three
// rounds, each timing both ways in turn.
//
//   save_nosync   no fsync at all
//   save_durable  the program's saves: ratio = durable / nosync, for the window and the store

#include "BenchReport.h"
#include "engine/Database.h"
#include "mainwindow/frmTips.h"
#include "startup/GenericBas.h"

#include <QApplication>
#include <QPushButton>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <sqlite3.h>

namespace {

constexpr int kSaves = 10;  // through the window, each refilling the title list
constexpr int kStores = 50; // the store alone: short, so more of them

// ---- a file layer without syncs ------------------------------------------------------------

sqlite3_vfs* g_base = nullptr;
sqlite3_vfs g_noSync;
const sqlite3_io_methods* g_baseMethods = nullptr;
sqlite3_io_methods g_noSyncMethods;

int skipSync(sqlite3_file*, int) {
    return SQLITE_OK;
}

int openNoSync(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags) {
    const int rc = g_base->xOpen(g_base, name, file, flags, outFlags);
    // The file stays the base layer's own; only its table of operations differs, in xSync.
    if (rc == SQLITE_OK && file->pMethods) {
        if (!g_baseMethods) {
            g_baseMethods = file->pMethods;
            g_noSyncMethods = *file->pMethods;
            g_noSyncMethods.xSync = skipSync;
        }
        if (file->pMethods == g_baseMethods) file->pMethods = &g_noSyncMethods;
    }
    return rc;
}

int deleteNoSync(sqlite3_vfs*, const char* name, int) {
    return g_base->xDelete(g_base, name, 0); // no sync of the folder either
}

// While one lives, every connection opened uses the layer without syncs.
struct WithoutSyncs {
    WithoutSyncs() {
        g_base = sqlite3_vfs_find(nullptr);
        g_noSync = *g_base;
        g_noSync.zName = "quillnote-nosync";
        g_noSync.xOpen = openNoSync;
        g_noSync.xDelete = deleteNoSync;
        sqlite3_vfs_register(&g_noSync, 1);
    }
    ~WithoutSyncs() {
        sqlite3_vfs_register(g_base, 1);
        sqlite3_vfs_unregister(&g_noSync);
    }
};

// ---- the saves -----------------------------------------------------------------------------

// Mean milliseconds of `save(i)` over a run of `saves`.
template <typename F> double perSave(int saves, F save) {
    int i = 0;
    return timeMs(
               [&] {
                   for (int n = 0; n < saves; ++n)
                       save(i++);
               },
               1) /
           saves;
}

double storeAlone(const QString& path) {
    auto db = qn::DBEngine::Workspaces(0).OpenDatabase(path, true, false);
    db->UseDeleteJournal();
    auto rs =
        db->OpenRecordset(QStringLiteral("SELECT * FROM TipsTable ORDER BY[Titolo]ASC"), qn::dbOpenDynaset);
    rs->SetAbsolutePosition(rs->RecordCount() / 2);
    return perSave(kStores, [&](int i) {
        rs->Edit();
        rs->Fields(QStringLiteral("Titolo")).SetValue(QStringLiteral("Salvato dal motore %1").arg(i));
        rs->Update();
    });
}

double throughTheWindow(const QString& path) {
    GenericBas::DatabasePath = path;
    auto w = std::make_unique<frmTips>();
    w->Form_Load();
    w->optWork[1]->setChecked(true); // edit mode, all tips
    QApplication::processEvents();
    const double ms = perSave(kSaves, [&](int i) {
        w->cmdTool_Click(4);
        w->SetFieldText(0, QStringLiteral("Salvato dalla finestra %1").arg(i));
        w->cmdTool_Click(1);
        if (!w->cmdTool[0]->isEnabled()) std::fprintf(stderr, "durability: a save did not happen\n");
    });
    w->close();
    w.reset();
    GenericBas::TipsRecordset.reset();
    GenericBas::TipsDatabase.reset();
    return ms;
}

void runDurabilityCases(const BenchOptions& options) {
    const QString path = options.workFolder + QStringLiteral("/Durable.mdb");
    if (!generateBenchArchive(path, options.tips)) {
        std::fprintf(stderr, "generation failed\n");
        return;
    }
    // In turns, so that a busy moment of the shared machine weighs on both the same way.
    double windowNoSync = 1e9, storeNoSync = 1e9, window = 1e9, store = 1e9;
    for (int round = 0; round < 3; ++round) {
        {
            const WithoutSyncs noSync;
            storeNoSync = std::min(storeNoSync, storeAlone(path));
            windowNoSync = std::min(windowNoSync, throughTheWindow(path));
        }
        store = std::min(store, storeAlone(path));
        window = std::min(window, throughTheWindow(path));
    }
    std::printf("case=save_nosync ours_ms=%.2f store_ms=%.2f\n", windowNoSync, storeNoSync);
    std::printf("case=save_durable ours_ms=%.2f raw_ms=%.2f ratio=%.2f store_ms=%.2f store_raw_ms=%.2f "
                "store_ratio=%.2f\n",
                window, windowNoSync, windowNoSync > 0 ? window / windowNoSync : 0.0, store, storeNoSync,
                storeNoSync > 0 ? store / storeNoSync : 0.0);
    std::fflush(stdout);
}

BenchGroup durabilityGroup("durability", runDurabilityCases);

} // namespace
