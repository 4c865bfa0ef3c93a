#pragma once
// A tip as a printed document: its text word-wrapped by CWordWrap in Arial 10 (or its metric
// twin), portrait, high quality and monochrome, with a header and a footer.

#include <QFont>
#include <QString>

namespace qn::printing {

class PdfJob;

// Arial 10, neither bold nor italic; Liberation Sans where Arial is missing.
QFont TipFont();

// Draws the pages into `job`. `opened` is false when the printer did not take the document at
// all; the result is true when the document was completed (after an error the page printer has
// reported it and abandoned the job).
bool DrawTipPages(PdfJob& job, const QString& header, const QString& footer, const QString& text,
                  bool& opened);

} // namespace qn::printing
