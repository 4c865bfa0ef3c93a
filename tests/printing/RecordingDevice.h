#pragma once
// A printer device for tests: every character is `charWidth` wide (or as `widths` says), every
// line `lineHeight` high, on a page of `width` × `height`; it records each call. With failAt
// set, the call with that number (counted from 1) throws a printer error.

#include "printing/PrinterDevice.h"

#include <QApplication>
#include <QHash>
#include <QStringList>

class RecordingDevice : public qn::printing::PrinterDevice {
public:
    struct Printed {
        int page;
        double x, y;
        QString text;
    };

    double width = 100, height = 100, charWidth = 2, lineHeight = 5;
    QHash<QChar, double> widths; // characters of another width
    int failAt = 0;

    QStringList calls;               // "SetScaleMode 6", "EndLine", "NewPage", "EndDoc", "KillDoc"
    QList<Printed> printed;          // every Print, empty texts included
    bool hourglassThroughout = true; // the wait cursor was up at every drawing call

    void SetScaleMode(int mode) override { call(QStringLiteral("SetScaleMode %1").arg(mode), false); }
    double ScaleWidth() const override { return width; }
    double ScaleHeight() const override { return height; }
    double CurrentX() const override { return m_x; }
    double CurrentY() const override { return m_y; }
    void SetCurrentX(double x) override { m_x = x; }
    void SetCurrentY(double y) override { m_y = y; }
    double TextWidth(const QString& text) override {
        double w = 0;
        for (QChar c : text)
            w += widths.value(c, charWidth);
        return w;
    }
    double TextHeight(const QString&) override { return lineHeight; }
    void Print(const QString& text) override {
        call(QString());
        printed.append({m_page, m_x, m_y, text});
        m_x += TextWidth(text);
    }
    void EndLine() override {
        call(QStringLiteral("EndLine"));
        m_x = 0;
        m_y += lineHeight;
    }
    void NewPage() override {
        call(QStringLiteral("NewPage"));
        ++m_page;
        m_x = m_y = 0;
    }
    void EndDoc() override { call(QStringLiteral("EndDoc")); }
    void KillDoc() override { calls << QStringLiteral("KillDoc"); }
    int Page() const override { return m_page; }

    // The prints as "page:y:x:text", one entry per run of prints that follow each other on one
    // line (texts joined), header and footer included; empty prints leave no trace.
    QStringList lines() {
        QStringList out;
        double nextX = 0;
        for (const Printed& p : printed) {
            if (p.text.isEmpty()) continue;
            const Printed* last = out.isEmpty() ? nullptr : &m_runStart;
            if (last && p.page == last->page && p.y == last->y && p.x == nextX) {
                out.last() += p.text;
            } else {
                m_runStart = p;
                out << QStringLiteral("%1:%2:%3:%4").arg(p.page).arg(p.y).arg(p.x).arg(p.text);
            }
            nextX = p.x + TextWidth(p.text);
        }
        return out;
    }

private:
    void call(const QString& name, bool drawing = true) {
        const QCursor* cursor = QApplication::overrideCursor();
        if (drawing) hourglassThroughout = hourglassThroughout && cursor && cursor->shape() == Qt::WaitCursor;
        if (!name.isEmpty()) calls << name;
        if (++m_count == failAt) throw qn::printing::Error(qn::printing::err::PrinterError);
    }
    double m_x = 0, m_y = 0;
    int m_page = 1, m_count = 0;
    Printed m_runStart{};
};
