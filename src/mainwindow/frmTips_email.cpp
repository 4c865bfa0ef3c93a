// The pop-up menu of cmdInviaTips and its "E-Mail" command: the tip on screen becomes an unsent
// message file, email.eml in the private temporary folder, opened by the desktop's mail program.
//
// The file is Windows-1252 text with CR LF after every line, and no headers but From, Subject
// and X-Unsent. Only a tip holding a letter that code page lacks is written as UTF-8, with the
// three MIME headers that say so and the subject in RFC 2047 words, so no letter is lost.
#include "mainwindow/EditState.h"
#include "mainwindow/frmTips.h"
#include "startup/GenericBas.h"
#include "startup/MessageBox.h"

#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QUrl>
#include <cmath>
#include <map>
#include <memory>

namespace {

constexpr int TwipsPerPixel = 15;

// ---- the program's pool of open files: a number stands for an open file until it is closed

std::map<int, std::unique_ptr<QFile>>& OpenFiles() {
    static std::map<int, std::unique_ptr<QFile>> files;
    return files;
}

int FreeFile() {
    int number = 1;
    while (OpenFiles().count(number) != 0)
        ++number;
    return number;
}

// ---- the message's bytes

// Windows-1252 bytes 0x80..0x9F; 0 where the code page has no character.
constexpr char16_t HighControls[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                       0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                       0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                       0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// The Windows-1252 byte of a character; -1 when the code page lacks it.
int Cp1252Byte(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return c;
    for (int i = 0; i < 32; ++i) {
        if (HighControls[i] != 0 && HighControls[i] == c) return 0x80 + i;
    }
    return -1;
}

bool FitsCodePage(const QString& text) {
    for (QChar c : text) {
        if (Cp1252Byte(c.unicode()) < 0) return false;
    }
    return true;
}

QByteArray ToCp1252(const QString& text) {
    QByteArray bytes;
    bytes.reserve(text.size());
    for (QChar c : text)
        bytes.append(static_cast<char>(Cp1252Byte(c.unicode())));
    return bytes;
}

// A header value stays on its line: a line break in it would start a header of its own.
QString OneLine(QString value) {
    for (QChar& c : value) {
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) c = QLatin1Char(' ');
    }
    return value;
}

// Every line break of the body as CR LF: a bare LF or CR becomes CR LF, a CR LF stays one.
QString WithCrLf(const QString& body) {
    QString out;
    out.reserve(body.size() + body.size() / 16);
    for (qsizetype i = 0; i < body.size(); ++i) {
        const QChar c = body.at(i);
        if (c == QLatin1Char('\r')) {
            if (i + 1 < body.size() && body.at(i + 1) == QLatin1Char('\n')) ++i;
            out += QLatin1String("\r\n");
        } else if (c == QLatin1Char('\n')) {
            out += QLatin1String("\r\n");
        } else {
            out += c;
        }
    }
    return out;
}

// RFC 2047 words in base64, each holding whole characters and short enough that every folded
// line of the header stays within 76 characters.
QByteArray EncodedWords(const QString& text) {
    constexpr qsizetype MaxBytes = 39; // 52 base64 characters
    QList<QByteArray> words;
    QByteArray chunk;
    for (qsizetype i = 0; i < text.size(); ++i) {
        qsizetype units = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QByteArray bytes = text.mid(i, units).toUtf8();
        i += units - 1;
        if (chunk.size() + bytes.size() > MaxBytes) {
            words << chunk;
            chunk.clear();
        }
        chunk += bytes;
    }
    if (!chunk.isEmpty()) words << chunk;
    QByteArray out;
    for (const QByteArray& w : words) {
        if (!out.isEmpty()) out += "\r\n "; // folded: the blank between words is not part of the text
        out += "=?UTF-8?B?" + w.toBase64() + "?=";
    }
    return out;
}

QByteArray MailFileBytes(const frmTips::MailMessage& m) {
    const bool unicode = !(FitsCodePage(m.To) && FitsCodePage(m.CC) && FitsCodePage(m.BCC) &&
                           FitsCodePage(m.From) && FitsCodePage(m.Subject) && FitsCodePage(m.Body));
    auto text = [unicode](const QString& s) { return unicode ? s.toUtf8() : ToCp1252(s); };
    QByteArray out;
    auto line = [&out](const QByteArray& l) { out += l + "\r\n"; };
    line("From: <" + text(OneLine(m.From)) + ">");
    if (!m.To.isEmpty()) line("To: \"" + text(OneLine(m.To)) + "\"");
    if (!m.CC.isEmpty()) line("CC: \"" + text(OneLine(m.CC)) + "\"");
    if (!m.BCC.isEmpty()) line("BCC: \"" + text(OneLine(m.BCC)) + "\"");
    if (!m.Subject.isEmpty())
        line("Subject: " + (unicode ? EncodedWords(OneLine(m.Subject)) : text(OneLine(m.Subject))));
    line("X-Unsent: 1");
    if (unicode) {
        line("MIME-Version: 1.0");
        line("Content-Type: text/plain; charset=UTF-8");
        line("Content-Transfer-Encoding: 8bit");
    }
    line({});
    line(text(WithCrLf(m.Body)));
    return out;
}

void ShowMailError(QWidget* owner, const QString& path, const QString& reason) {
    qn::ui::ShowMessage(owner,
                        QStringLiteral("Impossibile scrivere il messaggio di posta elettronica\n") +
                            QDir::toNativeSeparators(path) + QLatin1Char('\n') + reason,
                        QMessageBox::Critical);
}

// Nearest whole number, an exact half to the even one.
int RoundHalfEven(double v) {
    return static_cast<int>(std::nearbyint(v)); // the default rounding mode rounds halves to even
}

} // namespace

void frmTips::buildPopMenu() {
    mnu = new QMenu(QStringLiteral("PopMenu"), this);
    mnu->setObjectName(QStringLiteral("mnu"));
    mnu->setAccessibleName(QStringLiteral("Invia Tips..."));
    const QString captions[2] = {QStringLiteral("E-Mail"), QStringLiteral("Stampa")};
    for (int i = 0; i < 2; ++i) {
        // A menu item's accessible name is its caption.
        mnuPop[i] = mnu->addAction(captions[i]);
        mnuPop[i]->setObjectName(QStringLiteral("mnuPop(%1)").arg(i));
        connect(mnuPop[i], &QAction::triggered, this, [this, i] { mnuPop_Click(i); });
    }
}

void frmTips::cmdInviaTips_Click() {
    if (qn::editing::EditPending()) {
        qn::ui::ShowMessage(
            this, QStringLiteral("Per usare questo comando occorre uscire dalla modalità modifica."),
            QMessageBox::Information);
        return;
    }
    // Centred 75 twips below the button, wherever the mouse is.
    const QRect button = cmdInviaTips->geometry();
    const int x = button.left() * TwipsPerPixel + RoundHalfEven(button.width() * TwipsPerPixel / 2.0);
    const int y = (button.top() + button.height()) * TwipsPerPixel + 75;
    const QPoint at = mapToGlobal(
        QPoint(RoundHalfEven(x / double(TwipsPerPixel)), RoundHalfEven(y / double(TwipsPerPixel))));
    mnu->popup(QPoint(at.x() - mnu->sizeHint().width() / 2, at.y()));
}

void frmTips::mnuPop_Click(int index) {
    if (FieldText(1).isEmpty()) {
        qn::ui::ShowMessage(this, QStringLiteral("Nessun tips visualizzato."), QMessageBox::Warning);
        return;
    }
    if (index == 0)
        SendTipByEmail();
    else if (index == 1)
        PrintTip();
}

void frmTips::SendTipByEmail() {
    const QString folder = GenericBas::TempFolder();
    const QString path = folder + QStringLiteral("email.eml");
    if (folder.isEmpty()) {
        // Never beside the program or in the current folder: the message goes nowhere else.
        ShowMailError(this, path, QStringLiteral("La cartella temporanea privata non è disponibile."));
        return;
    }
    MailMessage message;
    message.Subject = FieldText(0);
    message.Body = FieldText(1);
    int fileNumber = 0;
    OpenOutputFile(path, fileNumber);
    if (fileNumber == 0) return;
    bool ok = false;
    WriteMailFile(fileNumber, message, ok);
    if (!ok) return;
    // The desktop's handler for the file; where the platform has none, xdg-open directly.
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path))) {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
        QProcess::startDetached(QStringLiteral("xdg-open"), {path});
#endif
    }
}

void frmTips::OpenOutputFile(const QString& path, int& fileNumber) {
    fileNumber = 0;
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        ShowMailError(this, path, file->errorString());
        return;
    }
    fileNumber = FreeFile();
    OpenFiles()[fileNumber] = std::move(file);
}

void frmTips::WriteMailFile(int fileNumber, const MailMessage& message, bool& ok) {
    ok = false;
    const auto it = OpenFiles().find(fileNumber);
    if (it == OpenFiles().end()) return;
    const std::unique_ptr<QFile> file = std::move(it->second);
    OpenFiles().erase(it);
    const QByteArray bytes = MailFileBytes(message);
    const bool written = file->write(bytes) == bytes.size() && file->flush();
    const QString reason = file->errorString();
    file->close();
    if (!written) {
        file->remove(); // a message cut short is never opened
        ShowMailError(this, file->fileName(), reason);
        return;
    }
    ok = true;
}
