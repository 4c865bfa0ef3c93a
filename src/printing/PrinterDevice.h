#pragma once
// The drawing operations the page printer needs from a printer, and nothing more, so the same
// layout code draws on a real printer, into a PDF file or onto a recorder in the tests.
//
// Positions and sizes are in the units of the scale mode (millimetres once the page printer has
// set mode 6), measured from the top-left corner of the printable area. "Current x / y" is where
// the next text is drawn: the top-left corner of its first character.
// A failing operation throws qn::EngineError with one of the numbers below.

#include "engine/EngineError.h"

#include <QString>

namespace qn::printing {

namespace err {
constexpr long Overflow = 6;
constexpr long OutOfMemory = 7;
constexpr long InvalidPropertyValue = 380;
constexpr long PrinterError = 482;
} // namespace err

// Scale modes and their numbers.
enum ScaleMode { Twips = 1, Points = 2, Pixels = 3, Inches = 5, Millimeters = 6, Centimeters = 7 };

// The Italian text of a printing error number.
QString ErrorDescription(long number);
// A printing error, ready to throw.
inline qn::EngineError Error(long number) {
    return qn::EngineError(number, ErrorDescription(number));
}

class PrinterDevice {
public:
    virtual ~PrinterDevice() = default;

    virtual void SetScaleMode(int mode) = 0;
    // The size of the printable area.
    virtual double ScaleWidth() const = 0;
    virtual double ScaleHeight() const = 0;
    virtual double CurrentX() const = 0;
    virtual double CurrentY() const = 0;
    virtual void SetCurrentX(double x) = 0;
    virtual void SetCurrentY(double y) = 0;
    // Measured in the current font.
    virtual double TextWidth(const QString& text) = 0;
    virtual double TextHeight(const QString& text) = 0;
    // Draws at the current position; current x moves right by the text's width.
    virtual void Print(const QString& text) = 0;
    // Current x back to 0, current y down by one line of the current font.
    virtual void EndLine() = 0;
    virtual void NewPage() = 0;
    // Completes the document: only now may it leave for the printer or the file.
    virtual void EndDoc() = 0;
    // Abandons the document: nothing drawn so far is sent or kept.
    virtual void KillDoc() = 0;
    // The page being drawn, 1 for the first.
    virtual int Page() const = 0;
};

} // namespace qn::printing
