#include "printing/QtPrinterDevice.h"

#include <QPrinter>

namespace qn::printing {

namespace {

constexpr qsizetype MaxCachedWidths = 8192;

bool HasRightToLeft(const QString& text) {
    for (QChar c : text) {
        if (c.unicode() < 0x0590) continue;
        switch (c.direction()) {
        case QChar::DirR:
        case QChar::DirAL:
        case QChar::DirRLE:
        case QChar::DirRLO:
        case QChar::DirRLI:
            return true;
        default:
            break;
        }
    }
    return false;
}

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
    flushRun();
    m_font = font;
    m_font.setKerning(false);
    m_metrics.reset();
    m_widths.clear();
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
    flushRun(); // positions of a run were taken in the old units
    m_pixelsPerUnit = dpi / perInch;
}

double QtPrinterDevice::ScaleWidth() const {
    return m_printer.width() / m_pixelsPerUnit;
}

double QtPrinterDevice::ScaleHeight() const {
    return m_printer.height() / m_pixelsPerUnit;
}

double QtPrinterDevice::widthInPixels(const QString& text) {
    if (const auto it = m_widths.constFind(text); it != m_widths.cend()) return *it;
    if (m_widths.size() >= MaxCachedWidths) m_widths.clear();
    const double width = metrics().horizontalAdvance(text);
    m_widths.insert(text, width);
    return width;
}

double QtPrinterDevice::TextWidth(const QString& text) {
    return widthInPixels(text) / m_pixelsPerUnit;
}

double QtPrinterDevice::TextHeight(const QString& text) {
    const qsizetype lines = text.count(QLatin1Char('\n')) + 1;
    return static_cast<double>(lines) * metrics().lineSpacing() / m_pixelsPerUnit;
}

void QtPrinterDevice::Print(const QString& text) {
    ensureOpen();
    if (text.isEmpty()) return;
    // Positions stay in the scale's units: a text continues the run when it starts exactly where
    // the run ends.
    const double x = m_x;
    m_x += TextWidth(text);
    const bool continues = !m_run.text.isEmpty() && m_y == m_run.y && x == m_run.endX;
    if (text.trimmed().isEmpty() && !continues) return; // a blank leaves no ink: it only moves the pen
    const bool rightToLeft = HasRightToLeft(text);
    if (!continues || rightToLeft || m_run.rightToLeft) {
        flushRun();
        m_run.x = x;
        m_run.y = m_y;
        m_run.rightToLeft = rightToLeft;
    }
    m_run.text += text;
    m_run.endX = m_x;
}

void QtPrinterDevice::flushRun() {
    if (m_run.text.isEmpty()) return;
    if (m_painter.isActive())
        m_painter.drawText(QPointF(m_run.x * m_pixelsPerUnit, m_run.y * m_pixelsPerUnit + metrics().ascent()),
                           m_run.text);
    m_run.text.clear();
}

void QtPrinterDevice::EndLine() {
    m_x = 0;
    m_y += metrics().lineSpacing() / m_pixelsPerUnit;
}

void QtPrinterDevice::NewPage() {
    ensureOpen();
    flushRun();
    if (!m_printer.newPage()) throw Error(err::PrinterError);
    ++m_page;
    m_x = 0;
    m_y = 0;
}

void QtPrinterDevice::EndDoc() {
    ensureOpen();
    flushRun();
    if (!m_painter.end()) throw Error(err::PrinterError);
    m_completed = true;
    m_x = 0;
    m_y = 0;
}

void QtPrinterDevice::KillDoc() {
    m_completed = false;
    m_run.text.clear();
    if (!m_painter.isActive()) return;
    // The output stays a spool file of its own, which its owner then discards.
    m_printer.abort();
    m_painter.end();
}

} // namespace qn::printing
