#pragma once
// The page printer's device over a QPrinter: texts are measured with the font's metrics on the
// printer itself (its resolution, not the screen's) and drawn with a QPainter.

#include "printing/PrinterDevice.h"

#include <QFont>
#include <QFontMetricsF>
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

    QPrinter& m_printer;
    QPainter m_painter;
    QFont m_font;
    std::optional<QFontMetricsF> m_metrics;
    double m_pixelsPerUnit = 1;
    double m_x = 0;
    double m_y = 0;
    int m_page = 1;
    bool m_completed = false;
};

} // namespace qn::printing
