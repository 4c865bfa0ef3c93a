#pragma once
// The word-wrapping page printer: one text flows word by word between four margins, with a
// centred header in the top margin, a footer at the left and "Pagina n" at the right of the
// bottom margin of every page. It draws with the device's current font, chosen by the caller.
//
// Calling order: create it on a device, set the texts and margins, call PrintText once (it
// draws every page and ends the document; after an error it reports it and abandons the job).

#include <QString>

namespace qn::printing {
class PrinterDevice;
}

class CWordWrap {
public:
    // Switches the device to millimetres and sets the default margins and header.
    explicit CWordWrap(qn::printing::PrinterDevice& printer);

    void SetHeaderText(const QString& sText) { m_headerText = sText; }
    // The footer; there is no read access to it.
    void SetButtonText(const QString& sText) { m_buttonText = sText; }
    QString HeaderText() const { return m_headerText; }
    void SetMarginLeft(float nMargin) { m_marginLeft = nMargin; }
    float MarginLeft() const { return m_marginLeft; }
    void SetMarginTop(float nMargin) { m_marginTop = nMargin; }
    float MarginTop() const { return m_marginTop; }
    void SetMarginRight(float nMargin) { m_marginRight = nMargin; }
    float MarginRight() const { return m_marginRight; }
    void SetMarginBottom(float nMargin) { m_marginBottom = nMargin; }
    float MarginBottom() const { return m_marginBottom; }

    // Prints the text as one complete document. Texts of any length are printed.
    void PrintText(const QString& sText);

private:
    void StartPage(bool& isNewPage);
    // After a line break: a new page when the line would start below the body.
    void NextLine(bool& isNewPage);
    void Tab();
    void ShowPrintError(long errorNumber, const QString& description);

    qn::printing::PrinterDevice& m_printer;
    QString m_buttonText;
    QString m_headerText = QStringLiteral("CWordWrap Class");
    float m_marginLeft = 15;
    float m_marginTop = 25;
    float m_marginRight = 15;
    float m_marginBottom = 20;
};
