// Display cases: a tip whose procedure is one very long line, in the real window, offscreen,
// beside the same amount of text spread over lines of 80 characters.
//
//   show_long_line        moving to a tip whose procedure is one line of 1 MB of letters and
//                         digits (a pasted blob: no place to break a line at all) and painting it,
//                         vs the same characters in 80-character lines
//   show_long_line_words  the same with a blank about every eighth character (a minified source)
//   paste_long_line       editing a short tip, pasting the 1 MB line at its end, vs pasting the
//                         80-character lines
//   type_in_long_line     one character typed into the middle of the shown 1 MB line, vs into
//                         the middle of the 80-character lines
//
// Each line also gives lines=, the number of lines the procedure box wrapped the text into, so
// that a fast figure cannot hide a box that stopped wrapping.

#include "BenchReport.h"
#include "BenchWindow.h"
#include "mainwindow/frmTips.h"
#include "startup/GenericBas.h"
#include "tipsdb/CreateDB.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <random>
#include <sqlite3.h>

namespace {

constexpr int kLineBytes = 1 << 20;

// 1 MB of letters and digits; with `words`, a blank about every eighth character.
QString blob(bool words) {
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::mt19937 rng(7);
    QString s;
    s.reserve(kLineBytes);
    while (s.size() < kLineBytes)
        s += (words && rng() % 8 == 0) ? QLatin1Char(' ') : QLatin1Char(alphabet[rng() % 62]);
    return s;
}

QString inShortLines(const QString& text) {
    QString out;
    out.reserve(text.size() + text.size() / 40);
    for (qsizetype i = 0; i < text.size(); i += 80)
        out += text.mid(i, 80) + QLatin1Char('\n');
    return out;
}

// An archive of three tips in title order: a short one, `body`, another short one.
bool makeArchive(const QString& path, const QString& body) {
    QFile::remove(path);
    if (!CreateDB::CreateTipsDatabase(path)) return false;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) !=
        SQLITE_OK)
        return false;
    sqlite3_stmt* ins = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO TipsTable(Titolo, Procedura, Categoria) VALUES (?, ?, 'Varie')", -1,
                       &ins, nullptr);
    const QString titles[] = {QStringLiteral("Alfa"), QStringLiteral("Beta"), QStringLiteral("Gamma")};
    for (int i = 0; i < 3; ++i) {
        const QByteArray t = titles[i].toUtf8();
        const QByteArray p = (i == 1 ? body : QStringLiteral("corto")).toUtf8();
        sqlite3_bind_text(ins, 1, t.constData(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(ins, 2, p.constData(), static_cast<int>(p.size()), SQLITE_TRANSIENT);
        sqlite3_step(ins);
        sqlite3_reset(ins);
    }
    sqlite3_finalize(ins);
    sqlite3_close(db);
    return true;
}

int wrappedLines(const QPlainTextEdit* box) {
    int lines = 0;
    for (QTextBlock b = box->document()->firstBlock(); b.isValid(); b = b.next())
        lines += b.layout() ? b.layout()->lineCount() : 0;
    return lines;
}

struct Shown {
    double ms = 0;
    int lines = 0;
    bool ok = false;
};

// `action`, then the events it caused and a repaint, timed; `expected` is the procedure after it.
template <typename F> Shown timed(frmTips& w, F action, const QString& expected) {
    Shown r;
    QElapsedTimer t;
    t.start();
    action();
    QApplication::processEvents();
    w.repaint();
    r.ms = static_cast<double>(t.nsecsElapsed()) / 1e6;
    r.lines = wrappedLines(w.txtProcedura);
    r.ok = w.FieldText(1) == expected;
    return r;
}

// Opens the window on the first tip, then moves to the second, whose procedure is `body`.
Shown showSecond(const QString& path, const QString& body) {
    if (!makeArchive(path, body)) return {};
    auto w = startWindow(path);
    QApplication::processEvents();
    const Shown r = timed(
        *w, [&] { w->cmdSposta_Click(2); }, body);
    closeWindow(w);
    return r;
}

// Modifica on the first tip, then `body` pasted at the end of its procedure.
Shown pasteIntoFirst(const QString& path, const QString& body) {
    if (!makeArchive(path, QStringLiteral("corto"))) return {};
    auto w = startWindow(path);
    QApplication::processEvents();
    w->optWork[1]->setChecked(true);
    w->cmdTool_Click(4);
    w->txtProcedura->moveCursor(QTextCursor::End);
    QApplication::processEvents();
    const Shown r = timed(
        *w, [&] { w->txtProcedura->insertPlainText(body); }, QStringLiteral("corto") + body);
    w->cmdTool_Click(3);
    closeWindow(w);
    return r;
}

// Modifica on the second tip, whose procedure is `body`, then one letter typed into its middle.
Shown typeIntoSecond(const QString& path, const QString& body) {
    if (!makeArchive(path, body)) return {};
    auto w = startWindow(path);
    QApplication::processEvents();
    w->optWork[1]->setChecked(true);
    w->cmdSposta_Click(2);
    w->cmdTool_Click(4);
    QTextCursor c = w->txtProcedura->textCursor();
    c.setPosition(static_cast<int>(body.size() / 2));
    w->txtProcedura->setTextCursor(c);
    QApplication::processEvents();
    const QString expected = body.left(body.size() / 2) + QLatin1Char('x') + body.mid(body.size() / 2);
    const Shown r = timed(
        *w,
        [&] {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
            QApplication::sendEvent(w->txtProcedura, &press);
        },
        expected);
    w->cmdTool_Click(3);
    closeWindow(w);
    return r;
}

template <typename F> void longLine(const char* name, const QString& folder, const QString& body, F run) {
    const Shown one = run(folder + QStringLiteral("/LongLine.mdb"), body);
    const Shown many = run(folder + QStringLiteral("/ShortLines.mdb"), inShortLines(body));
    if (!one.ok || !many.ok)
        std::fprintf(stderr, "%s: the procedure box does not hold the tip unchanged\n", name);
    std::printf("case=%s ours_ms=%.1f short_lines_ms=%.1f ratio=%.2f lines=%d\n", name, one.ms, many.ms,
                many.ms > 0 ? one.ms / many.ms : 0.0, one.lines);
    std::fflush(stdout);
}

void runDisplayCases(const BenchOptions& options) {
    const QString blank = blob(false), words = blob(true);
    longLine("show_long_line", options.workFolder, blank, showSecond);
    longLine("show_long_line_words", options.workFolder, words, showSecond);
    longLine("paste_long_line", options.workFolder, blank, pasteIntoFirst);
    longLine("type_in_long_line", options.workFolder, blank, typeIntoSecond);
}

BenchGroup displayGroup("display", runDisplayCases);

} // namespace
