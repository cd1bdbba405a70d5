#pragma once

// The kinds of column values the write rules tell apart, and the readings of decimal and
// date-time text that both the checks and the comparisons use. Internal to the layer.

#include "db/values/valuerules.h"

#include <QDate>
#include <QTime>
#include <optional>
#include <utility>

class QRegularExpression;

namespace db::values {

enum class Kind {
    Text,
    FixedText,
    WideText,
    Binary,
    Integer,
    Bit,
    Exact,
    Approximate,
    Date,
    Time,
    Stamp
};

Kind kindOf(const ColumnType& c);
QString text(const CellValue& v);
// Precision and scale from "numeric(10,2)", else from the description.
std::pair<int, int> precisionScale(const ColumnType& c);
// Sign, digits before and digits after the decimal point.
const QRegularExpression& decimalPattern();
// "-007.50" -> "-7.5"; nothing for text that is not a plain decimal number.
std::optional<QString> normalDecimal(const QString& t);

struct Moment {
    QDate date;
    QTime time;
    QString fraction; // digits after the seconds, trailing zeros dropped
    bool hasDate = false;
    bool hasTime = false;
    // The one form sent to the server: "2024-03-05 13:45:00[.5]", or its date or time.
    QString text() const;
};

// "2024-02-29" (or "2024-2-29"), "2024-02-29 13:45[:30[.500]]" (or with a "T" between),
// "13:45[:30[.5]]"; nothing when it is not a real date and time in one of those forms.
// Year first always: a form with the day or month first would need a guess.
std::optional<Moment> parseMoment(const QString& t, bool wantDate, bool wantTime);

} // namespace db::values
