#!/usr/bin/env bash
# Kill soak: the durability test of the optimised build with many kills (default 5,000). A
# child changes tips through the window and through the engine and is killed with SIGKILL at
# random moments; after each kill the archive must pass SQLite's integrity check and hold every
# change the child reported done. Prints the test's figures at the end.
# (QtTest stops a test function after five minutes unless told otherwise.)
#   scripts/kill-soak.sh [kills]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
kills=${1:-5000}
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DQN_WERROR=ON >/dev/null
nice -n 19 cmake --build build-release -j 2 --target mainwindow_tst_durability
start=$(date +%s)
status=0
QT_QPA_PLATFORM=offscreen QN_KILLS="$kills" QTEST_FUNCTION_TIMEOUT=172800000 nice -n 19 build-release/mainwindow_tst_durability \
    -maxwarnings 0 2>&1 | tee build-release/kill-soak.log | grep -E 'kills=|FAIL|Totals' || status=$?
echo "secondi=$(( $(date +%s) - start ))"
grep -q '^PASS   : TestDurability::everyReportedSaveSurvivesAKill' build-release/kill-soak.log || status=1
exit $status
