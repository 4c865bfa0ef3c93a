#pragma once
// Text as old Access archives store it: Jet 3 in the code page named in the file's header,
// Jet 4 in UCS-2 (little-endian), either plain or in the compressed form that starts with
// 0xFF 0xFE and drops the zero high byte of Latin-1 characters.

#include <QByteArray>
#include <QString>
#include <memory>

class QStringDecoder;

namespace qnimport {

// Jet 4 text, plain or compressed. An odd byte left at the end is dropped and reported through
// `damaged`.
QString DecodeUcs2(const char* data, qsizetype size, bool* damaged = nullptr);

// Decodes Jet 3 text of one code page (Windows-1252 when the page is 0 or unknown here).
class CodePageText {
public:
    explicit CodePageText(int codePage);
    ~CodePageText();
    QString decode(const char* data, qsizetype size) const;
    int codePage() const { return m_codePage; }

private:
    int m_codePage;
    std::unique_ptr<QStringDecoder> m_decoder;
};

} // namespace qnimport
