#include "import/JetText.h"

#include <QStringDecoder>

namespace qnimport {

QString DecodeUcs2(const char* data, qsizetype size, bool* damaged) {
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    QString out;
    bool odd = false;
    if (size >= 2 && p[0] == 0xff && p[1] == 0xfe) {
        out.reserve(size);
        // A zero byte switches between one byte per character and two.
        bool compressed = true;
        for (qsizetype i = 2; i < size;) {
            if (p[i] == 0) {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                out.append(QChar(p[i++]));
            } else if (i + 1 < size) {
                out.append(QChar(char16_t(p[i] | p[i + 1] << 8)));
                i += 2;
            } else {
                odd = true;
                break;
            }
        }
    } else {
        out.resize(size / 2);
        for (qsizetype i = 0; i + 1 < size; i += 2)
            out[i / 2] = QChar(char16_t(p[i] | p[i + 1] << 8));
        odd = size % 2 != 0;
    }
    if (damaged) *damaged = odd;
    return out;
}

namespace {

// The name Qt's converters know a Windows code page by.
QByteArray codecName(int codePage) {
    switch (codePage) {
    case 932:
        return "Shift_JIS";
    case 936:
        return "GBK";
    case 949:
        return "windows-949";
    case 950:
        return "Big5";
    default:
        return "windows-" + QByteArray::number(codePage);
    }
}

} // namespace

CodePageText::CodePageText(int codePage) : m_codePage(codePage) {
    if (codePage > 0) {
        m_decoder = std::make_unique<QStringDecoder>(codecName(codePage).constData());
        if (!m_decoder->isValid()) m_decoder.reset();
    }
    if (!m_decoder) {
        m_codePage = 1252;
        m_decoder = std::make_unique<QStringDecoder>("windows-1252");
    }
}

CodePageText::~CodePageText() = default;

QString CodePageText::decode(const char* data, qsizetype size) const {
    // Each value is decoded on its own: no state may carry over from the previous one.
    m_decoder->resetState();
    return m_decoder->decode(QByteArrayView(data, size));
}

} // namespace qnimport
