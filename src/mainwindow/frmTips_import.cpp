// Opening an archive of the old Access formats: the offer to convert it, the name of the new
// archive, the conversion by the helper process and its report. The old file is only read.
#include "dialogs/OpenSave.h"
#include "mainwindow/ConversionRun.h"
#include "mainwindow/frmTips.h"
#include "startup/MessageBox.h"
#include "tipsdb/OldArchive.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

using tipsdb::OldFormat;

constexpr int ShownReportLines = 20;
// Smaller files convert in a moment: their progress dialog shows only if the helper is slow.
constexpr qint64 LargeFile = 1024 * 1024;

QString formatName(OldFormat format) {
    return format == OldFormat::Jet3 ? QStringLiteral("Access 97") : QStringLiteral("Access 2000");
}

void say(frmTips* w, const QString& text, QMessageBox::Icon icon) {
    qn::ui::ShowMessage(w, text, icon, QMessageBox::Ok, QMessageBox::Ok);
}

// "<name>-convertito.mdb" beside the old file.
QString proposedName(const QString& oldPath) {
    const QFileInfo info(oldPath);
    const QString base = info.suffix().compare(QLatin1String("mdb"), Qt::CaseInsensitive) == 0
                             ? info.completeBaseName()
                             : info.fileName();
    return base + QStringLiteral("-convertito.mdb");
}

QString askDestination(frmTips* w, const QString& oldPath) {
    OpenSave dialog;
    dialog.SetDialogTitle(QStringLiteral("Digita il nome del DB convertito"));
    dialog.SetFilter(QStringLiteral("Microsoft Access (*mdb)|*.mdb"));
    dialog.SetOwner(w);
    dialog.SetInitDir(QFileInfo(oldPath).absolutePath());
    dialog.SetFileName(proposedName(oldPath));
    dialog.SetDefaultExt(QStringLiteral("mdb"));
    dialog.ShowSave();
    return dialog.FileName();
}

// The report's lines, as many as a message box can show.
QString reportText(const qn::ui::HelperOutcome& run) {
    QStringList lines = run.report.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const qsizetype all = lines.size();
    if (all > ShownReportLines) {
        lines = lines.mid(0, ShownReportLines);
        lines << QStringLiteral("... (altre %1 righe nel resoconto)").arg(all - ShownReportLines);
    } else if (run.reportCut) {
        lines << QStringLiteral("... (resoconto troncato)");
    }
    return lines.join(QLatin1Char('\n'));
}

// Why the helper produced no archive, for the user.
QString failureReason(const qn::ui::HelperOutcome& run, const QString& helper, int limitSeconds) {
    using Run = qn::ui::HelperOutcome;
    switch (run.kind) {
    case Run::FailedToStart:
        return QStringLiteral("Impossibile avviare il programma di conversione\n") + helper;
    case Run::TimedOut:
        return QStringLiteral("La conversione non si è conclusa entro %1 secondi ed è stata interrotta:\n"
                              "il file è probabilmente danneggiato.")
            .arg(limitSeconds);
    case Run::Cancelled:
        break; // said by the caller
    case Run::Crashed:
        return QStringLiteral("Il programma di conversione si è interrotto in modo anomalo:\n"
                              "il file è probabilmente danneggiato.");
    case Run::Finished:
        break;
    }
    QString text = reportText(run);
    text.remove(QStringLiteral("Conversione non riuscita: "));
    if (text.isEmpty())
        return QStringLiteral("Il programma di conversione è terminato con il codice %1.").arg(run.exitCode);
    text[0] = text[0].toUpper();
    return text;
}

} // namespace

bool frmTips::OfferConversion(const QString& sDataBase) {
    const OldFormat format = tipsdb::DetectOldFormat(sDataBase);
    if (format == OldFormat::None) return false;
    // Whatever follows, the old file is not the archive in use.
    EnableControls(false);
    DatabaseOpen = false;
    if (format == OldFormat::Ace || format == OldFormat::UnknownJet) {
        say(this,
            QStringLiteral("Il file\n%1\n").arg(sDataBase) +
                (format == OldFormat::Ace
                     ? QStringLiteral(
                           "è un archivio di Access 2007 o di una versione successiva.\n"
                           "Questo formato non si può aprire né convertire: salvarlo da Access nel "
                           "formato di Access 2000 e aprire quel file.")
                     : QStringLiteral(
                           "è un archivio di Access di una versione sconosciuta e non si può aprire.")),
            QMessageBox::Critical);
        return true;
    }
    if (const QString damage = tipsdb::CheckOldArchive(sDataBase, format); !damage.isEmpty()) {
        say(this,
            QStringLiteral("Il file\n%1\nè un archivio di %2 danneggiato e non si può convertire:\n%3")
                .arg(sDataBase, formatName(format), damage),
            QMessageBox::Critical);
        return true;
    }
    const auto answer = qn::ui::ShowMessage(
        this,
        QStringLiteral(
            "Il file\n%1\nè un archivio nel vecchio formato di %2.\n"
            "Si desidera convertirlo in un nuovo archivio?\nIl file originale non verrà modificato.")
            .arg(sDataBase, formatName(format)),
        QMessageBox::Question, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    if (answer != QMessageBox::Yes) return true;
    const QString destination = askDestination(this, sDataBase);
    if (destination.isEmpty()) return true;
    if (ConvertOldArchive(sDataBase, destination)) OpenDatabase(destination);
    return true;
}

bool frmTips::ConvertOldArchive(const QString& oldPath, const QString& newPath) {
    const qint64 size = QFileInfo(oldPath).size();
    qn::ui::HelperRun run;
    run.program = QCoreApplication::applicationDirPath() + QStringLiteral("/quillnote-import");
    run.arguments = {oldPath, newPath};
    run.timeLimitMs = tipsdb::ConversionTimeLimit(size) * 1000;
    run.progressDelayMs = size >= LargeFile ? 0 : 2000;
    const qn::ui::HelperOutcome result = qn::ui::RunHelper(this, run);
    const bool made = result.kind == qn::ui::HelperOutcome::Finished &&
                      (result.exitCode == tipsdb::Converted || result.exitCode == tipsdb::Incomplete) &&
                      QFileInfo(newPath).isFile();
    if (!made) {
        // A helper that was stopped cannot clean up after itself.
        const QString temp = tipsdb::ConversionTempPath(newPath, result.pid);
        if (result.pid > 0) {
            QFile::remove(temp);
            QFile::remove(temp + QStringLiteral("-journal"));
        }
        say(this,
            QStringLiteral("Conversione non riuscita.\n") +
                failureReason(result, run.program, run.timeLimitMs / 1000) +
                QStringLiteral("\nIl file originale non è stato modificato."),
            result.kind == qn::ui::HelperOutcome::Cancelled ? QMessageBox::Information
                                                            : QMessageBox::Critical);
        return false;
    }
    const bool exact = result.exitCode == tipsdb::Converted;
    say(this,
        (exact ? QStringLiteral("Conversione completata.\n")
               : QStringLiteral("Conversione completata con avvisi.\n")) +
            reportText(result),
        exact ? QMessageBox::Information : QMessageBox::Warning);
    return true;
}
