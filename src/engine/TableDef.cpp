#include "engine/TableDef.h"

namespace qn {

int defaultFieldSize(int type) {
    switch (type) {
    case dbBoolean:
    case dbByte:
        return 1;
    case dbInteger:
        return 2;
    case dbLong:
    case dbSingle:
        return 4;
    case dbCurrency:
    case dbDouble:
    case dbDate:
        return 8;
    case dbText:
        return 50;
    default:
        return 0; // memo and long binary have no fixed size
    }
}

Field TableDef::CreateField(const QString& name, int type, int size) const {
    Field f;
    f.Name = name;
    f.Type = type;
    const bool variable = type == dbText || type == dbMemo || type == dbLongBinary;
    f.Size = (type == dbText && size > 0) ? size : defaultFieldSize(type);
    f.Attributes = variable ? dbVariableField : dbFixedField;
    f.OrdinalPosition = Fields.Count();
    return f;
}

} // namespace qn
