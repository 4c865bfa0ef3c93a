#pragma once
// One printed document, drawn through a QPrinter into a PDF spool file of its own. Only a
// complete document leaves the spool: handed to a print queue, or saved over the file the user
// chose in one step. A document abandoned half-way is removed with the spool, so nothing
// half-drawn reaches the printer or replaces a file.

#include <QPageLayout>
#include <QPrinter>
#include <QString>
#include <QTemporaryFile>

namespace qn::printing {

class PdfJob {
public:
    // The spool file is made in `folder` ("" = the system's temporary folder); the pages get
    // `layout` (paper and printable area) and the job `title`.
    PdfJob(const QString& folder, const QPageLayout& layout, const QString& title);

    // False when no spool file could be made.
    bool IsValid() const { return m_valid; }
    // The printer to draw on; its output is the spool file.
    QPrinter& Printer() { return m_printer; }

    // Each returns "" when done, else the reason (in the user's language where the system has it).
    // The document must have been ended (the painter closed) before.
    QString SendToPrinter(const QString& queue);
    QString SaveAs(const QString& path);

    // The paper and printable area a queue prints on; A4 with narrow margins when it is unknown.
    static QPageLayout LayoutOf(const QString& queue);

private:
    QString checkComplete();

    QTemporaryFile m_spool;
    QPrinter m_printer;
    QString m_title;
    bool m_valid = false;
};

} // namespace qn::printing
