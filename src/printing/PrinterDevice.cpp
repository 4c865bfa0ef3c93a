#include "printing/PrinterDevice.h"

namespace qn::printing {

QString ErrorDescription(long number) {
    switch (number) {
    case err::Overflow:
        return QStringLiteral("Overflow.");
    case err::OutOfMemory:
        return QStringLiteral("Memoria esaurita.");
    case err::InvalidPropertyValue:
        return QStringLiteral("Valore della proprietà non valido.");
    case err::PrinterError:
        return QStringLiteral("Errore della stampante.");
    default:
        return qn::errorDescription(number);
    }
}

} // namespace qn::printing
