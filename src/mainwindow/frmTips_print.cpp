// Printing the tip on screen: its procedure, or only the part selected, on the default printer
// in Arial 10, with the title as header and the archive's name in the footer. With no printer,
// or when the printer refuses the job, the same pages can be saved as a PDF file instead.
#include "dialogs/OpenSave.h"
#include "mainwindow/StatementTrap.h"
#include "mainwindow/frmTips.h"
#include "printing/PdfJob.h"
#include "printing/TipDocument.h"
#include "printing/WaitCursor.h"
#include "startup/GenericBas.h"
#include "startup/MessageBox.h"

#include <QDir>
#include <QPlainTextEdit>
#include <QPrinterInfo>
#include <QStandardPaths>
#include <QTextDocumentFragment>

namespace {

struct TipPages {
    QString header, footer, text;
};

// The title as a file name: characters no file name may hold become "-".
QString ProposedName(const QString& title) {
    QString name = title.trimmed();
    for (QChar& c : name) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.unicode() < 32) c = QLatin1Char('-');
    }
    return name.isEmpty() ? QString() : name + QStringLiteral(".pdf");
}

// Says why the tip cannot be printed and offers its pages as a PDF file, written with the
// same layout on the paper of `queue` (A4 when there is none).
void OfferPdf(QWidget* owner, const QString& why, const QString& queue, const TipPages& pages) {
    if (qn::ui::ShowMessage(owner, why + QStringLiteral("\nSalvare le pagine del tip in un documento PDF?"),
                            QMessageBox::Question, QMessageBox::Yes | QMessageBox::No,
                            QMessageBox::Yes) != QMessageBox::Yes)
        return;
    QString path;
    qn::ui::Skip([&] {
        OpenSave dialog;
        dialog.SetOwner(owner);
        dialog.SetDialogTitle(QStringLiteral("Salva il tip come documento PDF"));
        dialog.SetFilter(QStringLiteral("Documento PDF (*.pdf)|*.pdf"));
        dialog.SetDefaultExt(QStringLiteral("pdf"));
        dialog.SetInitDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
        dialog.SetFileName(ProposedName(pages.header));
        dialog.ShowSave();
        path = dialog.FileName();
    });
    if (path.isEmpty()) return; // cancelled

    qn::printing::PdfJob job(GenericBas::TempFolder(), qn::printing::PdfJob::LayoutOf(queue), pages.header);
    bool opened = false;
    if (!qn::printing::DrawTipPages(job, pages.header, pages.footer, pages.text, opened)) {
        if (!opened)
            qn::ui::ShowMessage(owner, QStringLiteral("Impossibile creare il documento PDF."),
                                QMessageBox::Critical);
        return;
    }
    qn::printing::WaitCursor hourglass;
    const QString reason = job.SaveAs(path);
    hourglass.restore();
    if (!reason.isEmpty())
        qn::ui::ShowMessage(owner,
                            QStringLiteral("Impossibile salvare il documento PDF\n") +
                                QDir::toNativeSeparators(path) + QLatin1Char('\n') + reason,
                            QMessageBox::Critical);
}

} // namespace

void frmTips::PrintTip() {
    TipPages pages;
    pages.header = FieldText(0);
    pages.footer = QStringLiteral("Quillnote") + QStringLiteral(" - ") +
                   GenericBas::FileNameOf(GenericBas::DatabasePath);
    // The selection as plain text, so a whole selection prints exactly as no selection does.
    const QTextCursor selection = txtProcedura->textCursor();
    pages.text = selection.hasSelection() ? selection.selection().toPlainText() : FieldText(1);

    const QPrinterInfo printer = QPrinterInfo::defaultPrinter();
    if (printer.isNull()) {
        OfferPdf(this, QStringLiteral("Nessuna stampante disponibile: impossibile stampare il tip."), {},
                 pages);
        return;
    }
    const QString queue = printer.printerName();
    const QString unavailable = QStringLiteral("La stampante \"%1\" non è disponibile").arg(queue);
    qn::printing::PdfJob job(GenericBas::TempFolder(), qn::printing::PdfJob::LayoutOf(queue), pages.header);
    bool opened = false;
    if (!qn::printing::DrawTipPages(job, pages.header, pages.footer, pages.text, opened)) {
        if (!opened) OfferPdf(this, unavailable + QLatin1Char('.'), queue, pages);
        return; // otherwise the page printer has reported its error
    }
    qn::printing::WaitCursor hourglass;
    const QString refusal = job.SendToPrinter(queue);
    hourglass.restore();
    if (!refusal.isEmpty())
        OfferPdf(this, unavailable + QStringLiteral(": la stampa è stata rifiutata.\n") + refusal, queue,
                 pages);
}
