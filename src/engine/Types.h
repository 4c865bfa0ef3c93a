#pragma once
// Codes shared by the engine and its callers: field types, field attributes,
// record-set types and edit modes, with the classic engine's numbers.

namespace qn {

enum DataType : int {
    dbBoolean = 1,
    dbByte = 2,
    dbInteger = 3,
    dbLong = 4,
    dbCurrency = 5,
    dbSingle = 6,
    dbDouble = 7,
    dbDate = 8,
    dbText = 10,
    dbLongBinary = 11,
    dbMemo = 12,
};

enum FieldAttribute : long {
    dbFixedField = 1,
    dbVariableField = 2,
    dbAutoIncrField = 16,
};

enum RecordsetType : int {
    dbOpenDefault = 0, // a table name or a query: a dynaset
    dbOpenTable = 1,
    dbOpenDynaset = 2,
    dbOpenSnapshot = 4,
};

enum EditModeValue : int {
    dbEditNone = 0,
    dbEditInProgress = 1,
    dbEditAdd = 2,
};

} // namespace qn
