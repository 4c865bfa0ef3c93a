#pragma once
// Private to the engine: values between the callers' QVariants and SQLite storage.
// Null is an invalid QVariant; Text/Memo QString; Byte/Integer/Long int; Boolean bool;
// Single/Double/Currency double; Date QDateTime; LongBinary QByteArray.

#include <QVariant>

namespace qn {

class Statement;

// Converts an assigned value to the field's type; err::TypeConversion when it cannot be,
// err::NumericOverflow when it does not fit.
QVariant coerceToType(const QVariant& value, int type);

// A stored value (as SQLite returned it) presented with the field's type.
QVariant presentAs(const QVariant& stored, int type);

// Binds a value already coerced to `type`.
void bindAsType(Statement& s, int index, const QVariant& value, int type);

bool isMemoType(int type);

} // namespace qn
