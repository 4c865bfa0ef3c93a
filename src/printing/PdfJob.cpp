#include "printing/PdfJob.h"

#include "engine/DurableFile.h"
#include "engine/EngineError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPrinterInfo>
#include <QSaveFile>
#include <algorithm>
#include <cups/cups.h>

namespace qn::printing {

PdfJob::PdfJob(const QString& folder, const QPageLayout& layout, const QString& title)
    : m_printer(QPrinter::HighResolution), m_title(title) {
    const QString base = folder.isEmpty() ? QDir::tempPath() : folder;
    m_spool.setFileTemplate(QDir(base).filePath(QStringLiteral("stampa-XXXXXX.pdf")));
    m_valid = m_spool.open();
    m_spool.close(); // the name stays reserved; the printer writes it
    m_printer.setOutputFormat(QPrinter::PdfFormat);
    m_printer.setOutputFileName(m_spool.fileName());
    m_printer.setPageLayout(layout);
    m_printer.setDocName(title);
    m_printer.setCreator(QStringLiteral("Quillnote"));
}

QPageLayout PdfJob::LayoutOf(const QString& queue) {
    const QPrinterInfo info = QPrinterInfo::printerInfo(queue);
    if (!info.isNull()) {
        const QPrinter printer(info, QPrinter::HighResolution);
        if (printer.pageLayout().isValid()) return printer.pageLayout();
    }
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(10, 10, 10, 10),
                       QPageLayout::Point);
}

QString PdfJob::checkComplete() {
    QFile spool(m_spool.fileName());
    if (!spool.open(QIODevice::ReadOnly)) return spool.errorString();
    // The document's last line is written last: without it the file is cut short (disk full).
    const qint64 size = spool.size();
    spool.seek(std::max<qint64>(0, size - 64));
    if (!m_valid || !spool.readAll().contains("%%EOF")) return QStringLiteral("Documento incompleto.");
    return {};
}

QString PdfJob::SendToPrinter(const QString& queue) {
    if (QString incomplete = checkComplete(); !incomplete.isEmpty()) return incomplete;
    cups_option_t* options = nullptr;
    int count = 0;
    const QByteArray media = m_printer.pageLayout().pageSize().key().toUtf8();
    count = cupsAddOption("media", media.constData(), count, &options);
    count = cupsAddOption("sides", "one-sided", count, &options);
    count = cupsAddOption("print-color-mode", "monochrome", count, &options);
    count = cupsAddOption("print-quality", "5", count, &options); // high
    const QByteArray title = (m_title.isEmpty() ? QStringLiteral("Quillnote") : m_title).toUtf8();
    const int job =
        cupsPrintFile(queue.toUtf8().constData(), QFile::encodeName(m_spool.fileName()).constData(),
                      title.constData(), count, options);
    cupsFreeOptions(count, options);
    if (job > 0) return {};
    const QString reason = QString::fromUtf8(cupsLastErrorString());
    return reason.isEmpty() ? QStringLiteral("La coda di stampa ha rifiutato il documento.") : reason;
}

QString PdfJob::SaveAs(const QString& path) {
    if (QString incomplete = checkComplete(); !incomplete.isEmpty()) return incomplete;
    QFile spool(m_spool.fileName());
    if (!spool.open(QIODevice::ReadOnly)) return spool.errorString();
    // Written beside the old file, flushed to disk and renamed over it in one step.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return file.errorString();
    QString reason;
    while (reason.isEmpty() && !spool.atEnd()) {
        const QByteArray chunk = spool.read(1 << 16);
        if (chunk.isEmpty())
            reason = spool.errorString();
        else if (file.write(chunk) != chunk.size())
            reason = file.errorString();
    }
    if (!reason.isEmpty()) {
        file.cancelWriting(); // the old file stays as it was
        file.commit();
        return reason;
    }
    if (!file.commit()) return file.errorString();
    try {
        durable::SyncFolder(QFileInfo(path).absolutePath()); // the new name lasts too
    } catch (const EngineError&) {
        // The PDF is written and in place; a folder that cannot be flushed is no reason to say otherwise.
    }
    return {};
}

} // namespace qn::printing
