#pragma once
// The hourglass over the whole program while a document is drawn or sent, removed however the
// work ends (an error included); restore() removes it early, before a message is shown.

#include <QApplication>

namespace qn::printing {

class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { restore(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
    void restore() {
        if (m_shown) QApplication::restoreOverrideCursor();
        m_shown = false;
    }

private:
    bool m_shown = true;
};

} // namespace qn::printing
