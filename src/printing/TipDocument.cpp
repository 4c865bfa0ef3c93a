#include "printing/TipDocument.h"

#include "printing/CWordWrap.h"
#include "printing/PdfJob.h"
#include "printing/QtPrinterDevice.h"

namespace qn::printing {

QFont TipFont() {
    QFont font;
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")}); // metric twins
    font.setItalic(false);
    font.setBold(false);
    font.setPointSize(10);
    return font;
}

bool DrawTipPages(PdfJob& job, const QString& header, const QString& footer, const QString& text,
                  bool& opened) {
    QPrinter& printer = job.Printer();
    // The three device settings: portrait, high quality (the printer's high resolution), monochrome.
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setColorMode(QPrinter::GrayScale);
    QtPrinterDevice device(printer);
    device.SetFont(TipFont());
    opened = job.IsValid() && device.Open();
    if (!opened) return false;
    CWordWrap wordWrap(device);
    wordWrap.SetHeaderText(header);
    wordWrap.SetButtonText(footer);
    wordWrap.PrintText(text);
    return device.Completed();
}

} // namespace qn::printing
