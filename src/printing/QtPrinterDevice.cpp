#include "printing/QtPrinterDevice.h"

#include <QPrinter>

namespace qn::printing {

namespace {

// Units per inch of each scale mode; 0 for a mode the device does not know.
double UnitsPerInch(int mode, double dotsPerInch) {
    switch (mode) {
    case Twips:
        return 1440;
    case Points:
        return 72;
    case Pixels:
        return dotsPerInch;
    case Inches:
        return 1;
    case Millimeters:
        return 25.4;
    case Centimeters:
        return 2.54;
    default:
        return 0;
    }
}

} // namespace

QtPrinterDevice::QtPrinterDevice(QPrinter& printer) : m_printer(printer) {}

QtPrinterDevice::~QtPrinterDevice() {
    // A document nobody ended is abandoned, never sent as it stands.
    if (m_painter.isActive()) KillDoc();
}

void QtPrinterDevice::SetFont(const QFont& font) {
    m_font = font;
    m_metrics.reset();
    if (m_painter.isActive()) m_painter.setFont(m_font);
}

bool QtPrinterDevice::Open() {
    if (m_painter.isActive()) return true;
    if (m_completed || !m_painter.begin(&m_printer)) return false;
    m_painter.setFont(m_font);
    m_painter.setPen(Qt::black);
    return true;
}

void QtPrinterDevice::ensureOpen() {
    if (!Open()) throw Error(err::PrinterError);
}

const QFontMetricsF& QtPrinterDevice::metrics() {
    // Measured on the printer: its resolution decides how wide a text is.
    if (!m_metrics) m_metrics.emplace(m_font, &m_printer);
    return *m_metrics;
}

void QtPrinterDevice::SetScaleMode(int mode) {
    const double dpi = m_printer.resolution();
    const double perInch = UnitsPerInch(mode, dpi);
    if (perInch <= 0 || dpi <= 0) throw Error(err::InvalidPropertyValue);
    m_pixelsPerUnit = dpi / perInch;
}

double QtPrinterDevice::ScaleWidth() const {
    return m_printer.width() / m_pixelsPerUnit;
}

double QtPrinterDevice::ScaleHeight() const {
    return m_printer.height() / m_pixelsPerUnit;
}

double QtPrinterDevice::TextWidth(const QString& text) {
    return metrics().horizontalAdvance(text) / m_pixelsPerUnit;
}

double QtPrinterDevice::TextHeight(const QString& text) {
    const qsizetype lines = text.count(QLatin1Char('\n')) + 1;
    return static_cast<double>(lines) * metrics().lineSpacing() / m_pixelsPerUnit;
}

void QtPrinterDevice::Print(const QString& text) {
    ensureOpen();
    if (text.isEmpty()) return;
    const double width = TextWidth(text);
    // A blank leaves no ink: it only moves the pen.
    if (text.trimmed().isEmpty()) {
        m_x += width;
        return;
    }
    m_painter.drawText(QPointF(m_x * m_pixelsPerUnit, m_y * m_pixelsPerUnit + metrics().ascent()), text);
    m_x += width;
}

void QtPrinterDevice::EndLine() {
    m_x = 0;
    m_y += metrics().lineSpacing() / m_pixelsPerUnit;
}

void QtPrinterDevice::NewPage() {
    ensureOpen();
    if (!m_printer.newPage()) throw Error(err::PrinterError);
    ++m_page;
    m_x = 0;
    m_y = 0;
}

void QtPrinterDevice::EndDoc() {
    ensureOpen();
    if (!m_painter.end()) throw Error(err::PrinterError);
    m_completed = true;
    m_x = 0;
    m_y = 0;
}

void QtPrinterDevice::KillDoc() {
    m_completed = false;
    if (!m_painter.isActive()) return;
    // The output stays a spool file of its own, which its owner then discards.
    m_printer.abort();
    m_painter.end();
}

} // namespace qn::printing
