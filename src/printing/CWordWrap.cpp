#include "printing/CWordWrap.h"

#include "engine/EngineError.h"
#include "printing/PrinterDevice.h"
#include "printing/WaitCursor.h"
#include "startup/MessageBox.h"

#include <QApplication>
#include <cmath>
#include <exception>
#include <new>

namespace {

// Tab stops are counted from the default left margin, whatever the margin in use.
constexpr double TabOrigin = 15;
constexpr int TabStopDigits = 10;

// Nearest whole number, an exact half to the even one.
double RoundHalfEven(double v) {
    const double down = std::floor(v);
    const double rest = v - down;
    if (rest > 0.5) return down + 1;
    if (rest < 0.5) return down;
    return std::fmod(down, 2.0) == 0 ? down : down + 1;
}

bool IsSeparator(QChar c) {
    return c.unicode() <= 32;
}

} // namespace

CWordWrap::CWordWrap(qn::printing::PrinterDevice& printer) : m_printer(printer) {
    m_printer.SetScaleMode(qn::printing::Millimeters);
}

void CWordWrap::StartPage(bool& isNewPage) {
    if (isNewPage) m_printer.NewPage();
    const double width = m_printer.ScaleWidth();
    const double height = m_printer.ScaleHeight();

    // The header is centred on the whole page width and in the top margin.
    m_printer.SetCurrentY((m_marginTop - m_printer.TextHeight(m_headerText)) / 2);
    m_printer.SetCurrentX((width - m_printer.TextWidth(m_headerText)) / 2);
    m_printer.Print(m_headerText);

    // Footer and page number: their top edge at the middle of the bottom margin.
    m_printer.SetCurrentX(m_marginLeft);
    m_printer.SetCurrentY(height - m_marginBottom / 2);
    m_printer.Print(m_buttonText);

    const QString page = QStringLiteral("Pagina ") + QString::number(m_printer.Page());
    m_printer.SetCurrentX(width - (m_printer.TextWidth(page) + m_marginRight));
    m_printer.SetCurrentY(height - m_marginBottom / 2);
    m_printer.Print(page);

    m_printer.SetCurrentX(m_marginLeft);
    m_printer.SetCurrentY(m_marginTop);
}

void CWordWrap::NextLine(bool& isNewPage) {
    // A line starting exactly at the bottom margin still belongs to the page.
    if (m_printer.ScaleHeight() - m_marginBottom < m_printer.CurrentY()) {
        isNewPage = true;
        StartPage(isNewPage);
    } else {
        m_printer.SetCurrentX(m_marginLeft);
    }
}

void CWordWrap::Tab() {
    const double w0 = m_printer.TextWidth(QStringLiteral("0"));
    if (!(w0 > 0)) return; // a font without a measurable digit has no tab stops
    // A wide integer: blanks may run far past the margin, and a tab after them must not overflow.
    auto n = static_cast<long long>(RoundHalfEven((m_printer.CurrentX() - TabOrigin) / w0));
    n = n + TabStopDigits - n % TabStopDigits; // % keeps the sign of n
    m_printer.SetCurrentX(w0 * static_cast<double>(n) + TabOrigin);
}

void CWordWrap::PrintText(const QString& sText) {
    qn::printing::WaitCursor hourglass;
    try {
        bool isNewPage = false;
        StartPage(isNewPage);
        // A position of the platform's size: texts of any length print to the end.
        const qsizetype length = sText.size();
        qsizetype pos = 0;
        for (;;) {
            if (pos >= length) {
                m_printer.EndDoc();
                return;
            }
            const qsizetype start = pos;
            while (pos < length && !IsSeparator(sText.at(pos)))
                ++pos;
            const QString word = sText.mid(start, pos - start);

            // Strictly less: a word that exactly fits stays on the line.
            if (m_printer.ScaleWidth() - m_marginRight < m_printer.CurrentX() + m_printer.TextWidth(word)) {
                m_printer.EndLine();
                NextLine(isNewPage);
            }
            m_printer.Print(word);

            while (pos < length && IsSeparator(sText.at(pos))) {
                switch (sText.at(pos).unicode()) {
                case ' ':
                    m_printer.Print(QStringLiteral(" ")); // no fit test: the next word wraps
                    break;
                case '\n':
                    m_printer.EndLine();
                    NextLine(isNewPage);
                    break;
                case '\t':
                    Tab();
                    break;
                default: // carriage returns and other control characters
                    break;
                }
                ++pos;
            }
        }
    } catch (const std::exception& e) {
        // Nothing half-drawn may reach the printer.
        try {
            m_printer.KillDoc();
        } catch (const std::exception&) {
        }
        hourglass.restore(); // the message is answered with the ordinary pointer
        const auto* error = dynamic_cast<const qn::EngineError*>(&e);
        long number = qn::printing::err::PrinterError;
        if (error)
            number = error->number();
        else if (dynamic_cast<const std::bad_alloc*>(&e))
            number = qn::printing::err::OutOfMemory;
        ShowPrintError(number, error ? error->description() : qn::printing::ErrorDescription(number));
    }
}

void CWordWrap::ShowPrintError(long errorNumber, const QString& description) {
    qn::ui::ShowMessage(QApplication::activeWindow(),
                        QStringLiteral("Errore nella routine di stampa\nErrore numero: ") +
                            QString::number(errorNumber) + QLatin1Char('\n') + description,
                        QMessageBox::Critical, QMessageBox::Ok);
}
