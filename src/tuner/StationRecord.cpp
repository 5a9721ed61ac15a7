#include "StationRecord.h"

namespace StationRecord {

bool onRow(const RecordsetPtr &rs)
{
    return rs && !rs->EOF_() && !rs->BOF() && rs->hasCurrentRow();
}

bool isEmpty(const QVariant &value)
{
    return value.isNull() || !value.isValid() || value.toString().isEmpty();
}

QString text(const RecordsetPtr &rs, int column)
{
    const QVariant value = rs->Fields(column);
    return isEmpty(value) ? QString() : value.toString();
}

} // namespace StationRecord
