#include "engine/Values.h"

#include "engine/Connection.h"
#include "engine/EngineError.h"
#include "engine/Types.h"

#include <QDateTime>
#include <cmath>

namespace qn {

namespace {

bool isNullValue(const QVariant& v) {
    return !v.isValid() || v.isNull();
}

double toNumber(const QVariant& v) {
    if (v.typeId() == QMetaType::Bool) return v.toBool() ? 1.0 : 0.0;
    bool ok = false;
    double d = 0;
    if (v.typeId() == QMetaType::QString)
        d = v.toString().trimmed().toDouble(&ok);
    else
        d = v.toDouble(&ok);
    if (!ok || !std::isfinite(d)) throw EngineError::fromNumber(err::TypeConversion);
    return d;
}

QVariant toInteger(const QVariant& v, long long low, long long high) {
    const double d = std::nearbyint(toNumber(v)); // rounds half to even, as the classic engine
    if (d < static_cast<double>(low) || d > static_cast<double>(high))
        throw EngineError::fromNumber(err::NumericOverflow);
    return QVariant(static_cast<int>(d));
}

QVariant toBoolean(const QVariant& v) {
    if (v.typeId() == QMetaType::QString) {
        const QString s = v.toString().trimmed();
        if (s.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 ||
            s.compare(QLatin1String("vero"), Qt::CaseInsensitive) == 0)
            return QVariant(true);
        if (s.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0 ||
            s.compare(QLatin1String("falso"), Qt::CaseInsensitive) == 0)
            return QVariant(false);
    }
    return QVariant(toNumber(v) != 0.0);
}

QVariant toDate(const QVariant& v) {
    QDateTime dt;
    if (v.typeId() == QMetaType::QDateTime)
        dt = v.toDateTime();
    else if (v.typeId() == QMetaType::QDate)
        dt = v.toDate().startOfDay();
    else if (v.typeId() == QMetaType::QString)
        dt = QDateTime::fromString(v.toString().trimmed(), Qt::ISODate);
    if (!dt.isValid()) throw EngineError::fromNumber(err::TypeConversion);
    return QVariant(dt);
}

} // namespace

bool isMemoType(int type) {
    return type == dbMemo || type == dbLongBinary;
}

QVariant coerceToType(const QVariant& value, int type) {
    if (isNullValue(value)) return QVariant();
    switch (type) {
    case dbText:
    case dbMemo:
        if (value.typeId() == QMetaType::QByteArray) return QVariant(QString::fromUtf8(value.toByteArray()));
        if (!value.canConvert<QString>()) throw EngineError::fromNumber(err::TypeConversion);
        return QVariant(value.toString());
    case dbByte:
        return toInteger(value, 0, 255);
    case dbInteger:
        return toInteger(value, -32768, 32767);
    case dbLong:
        return toInteger(value, -2147483648LL, 2147483647LL);
    case dbBoolean:
        return toBoolean(value);
    case dbSingle:
    case dbDouble:
    case dbCurrency:
        return QVariant(toNumber(value));
    case dbDate:
        return toDate(value);
    case dbLongBinary:
        if (value.typeId() == QMetaType::QByteArray) return value;
        return QVariant(value.toString().toUtf8());
    default:
        return value;
    }
}

QVariant presentAs(const QVariant& stored, int type) {
    if (!stored.isValid()) return stored;
    const int id = stored.typeId();
    switch (type) {
    case dbText:
    case dbMemo:
        return id == QMetaType::QString ? stored : QVariant(stored.toString());
    case dbByte:
    case dbInteger:
    case dbLong:
        return id == QMetaType::LongLong ? QVariant(static_cast<int>(stored.toLongLong())) : stored;
    case dbBoolean:
        return id == QMetaType::LongLong || id == QMetaType::Double ? QVariant(stored.toDouble() != 0.0)
                                                                    : stored;
    case dbSingle:
    case dbDouble:
    case dbCurrency:
        return id == QMetaType::LongLong ? QVariant(stored.toDouble()) : stored;
    case dbDate:
        if (id == QMetaType::QString) {
            const QDateTime dt = QDateTime::fromString(stored.toString(), Qt::ISODate);
            return dt.isValid() ? QVariant(dt) : stored;
        }
        return stored;
    default:
        return stored;
    }
}

void bindAsType(Statement& s, int index, const QVariant& value, int type) {
    if (isNullValue(value)) {
        s.bindNull(index);
        return;
    }
    switch (type) {
    case dbBoolean:
        s.bindInt64(index, value.toBool() ? 1 : 0);
        return;
    case dbDate:
        s.bindText(index, value.toDateTime().toString(Qt::ISODate));
        return;
    default:
        s.bindVariant(index, value);
    }
}

} // namespace qn
