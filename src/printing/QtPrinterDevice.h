#pragma once
// The page printer's device over a QPrinter: texts are measured with the font's metrics on the
// printer itself (its resolution, not the screen's) and drawn with a QPainter.
//
// Texts printed one right after the other on a line are drawn together as one run, so a line
// costs one drawing call rather than one per word and blank. The font is used without kerning:
// then the width of a run is the sum of its texts' widths, and its glyphs stand exactly where
// the texts were measured to go. Right-to-left texts are drawn one print at a time, in the order
// they were printed.

#include "printing/PrinterDevice.h"

#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QPainter>
#include <optional>

class QPrinter;

namespace qn::printing {

class QtPrinterDevice : public PrinterDevice {
public:
    explicit QtPrinterDevice(QPrinter& printer);
    ~QtPrinterDevice() override;
    QtPrinterDevice(const QtPrinterDevice&) = delete;
    QtPrinterDevice& operator=(const QtPrinterDevice&) = delete;

    // The font of everything drawn from now on.
    void SetFont(const QFont& font);
    // Starts the document on the printer; false when the printer refuses it. Drawing starts it
    // too, and throws on refusal.
    bool Open();
    // True once EndDoc completed the document; false while drawing, after KillDoc or a failure.
    bool Completed() const { return m_completed; }

    void SetScaleMode(int mode) override;
    double ScaleWidth() const override;
    double ScaleHeight() const override;
    double CurrentX() const override { return m_x; }
    double CurrentY() const override { return m_y; }
    void SetCurrentX(double x) override { m_x = x; }
    void SetCurrentY(double y) override { m_y = y; }
    double TextWidth(const QString& text) override;
    double TextHeight(const QString& text) override;
    void Print(const QString& text) override;
    void EndLine() override;
    void NewPage() override;
    void EndDoc() override;
    void KillDoc() override;
    int Page() const override { return m_page; }

private:
    void ensureOpen();
    const QFontMetricsF& metrics();
    double widthInPixels(const QString& text);
    void flushRun();

    QPrinter& m_printer;
    QPainter m_painter;
    QFont m_font;
    std::optional<QFontMetricsF> m_metrics;
    QHash<QString, double> m_widths; // device pixels; words repeat, measuring is the costly part
    struct Run {
        double x = 0, y = 0, endX = 0; // in the scale's units
        QString text;
        bool rightToLeft = false;
    } m_run;
    double m_pixelsPerUnit = 1;
    double m_x = 0;
    double m_y = 0;
    int m_page = 1;
    bool m_completed = false;
};

} // namespace qn::printing
