#include "db/valuerules.h"

#include "db/tablekeys.h"

#include <sqlext.h>

#include <QDate>
#include <QRegularExpression>
#include <QTime>
#include <charconv>
#include <cmath>
#include <limits>

namespace db {
namespace {

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

Kind kindOf(const ColumnType& c) {
    const QString name = c.typeName.toLower();
    if (c.info.binary)
        return Kind::Binary;
    // A declared exact type wins over a driver that describes it as a double (SQLite).
    if (name.startsWith(QLatin1String("numeric")) || name.startsWith(QLatin1String("decimal")) ||
        name.contains(QLatin1String("money")))
        return Kind::Exact;
    switch (c.info.sqlType) {
    case SQL_CHAR:
        return Kind::FixedText;
    case SQL_WCHAR:
    case SQL_WVARCHAR:
    case SQL_WLONGVARCHAR:
        return Kind::WideText;
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT:
        return Kind::Integer;
    case SQL_BIT:
        return Kind::Bit;
    case SQL_NUMERIC:
    case SQL_DECIMAL:
        return Kind::Exact;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
        return Kind::Approximate;
    case SQL_DATE:
    case SQL_TYPE_DATE:
        return Kind::Date;
    case SQL_TIME:
    case SQL_TYPE_TIME:
    case -154: // SQL_SS_TIME2, as FreeTDS describes time
        return Kind::Time;
    case SQL_TIMESTAMP:
    case SQL_TYPE_TIMESTAMP:
        return Kind::Stamp;
    default:
        return Kind::Text;
    }
}

QString text(const CellValue& v) {
    return QString::fromUtf8(v->data(), qsizetype(v->size()));
}

// Precision and scale from "numeric(10,2)", else from the description.
std::pair<int, int> precisionScale(const ColumnType& c) {
    static const QRegularExpression ps(QStringLiteral("\\(\\s*(\\d+)\\s*(?:,\\s*(\\d+)\\s*)?\\)"));
    const QString name = c.typeName.toLower();
    if (name.startsWith(QLatin1String("smallmoney")))
        return {10, 4};
    if (name.startsWith(QLatin1String("money")))
        return {19, 4};
    if (const auto m = ps.match(name); m.hasMatch())
        return {m.captured(1).toInt(), m.captured(2).toInt()};
    if (c.info.sqlType == SQL_NUMERIC || c.info.sqlType == SQL_DECIMAL)
        return {int(c.info.size), c.info.decimalDigits};
    return {38, 0};
}

const QRegularExpression& decimalPattern() {
    static const QRegularExpression p(QStringLiteral("^([+-]?)(\\d*)(?:\\.(\\d*))?$"));
    return p;
}

// "-007.50" -> "-7.5"; nothing for text that is not a plain decimal number.
std::optional<QString> normalDecimal(const QString& t) {
    const auto m = decimalPattern().match(t.trimmed());
    if (!m.hasMatch() || (m.captured(2).isEmpty() && m.captured(3).isEmpty()))
        return std::nullopt;
    QString whole = m.captured(2);
    QString fraction = m.captured(3);
    while (whole.startsWith(QLatin1Char('0')))
        whole.remove(0, 1);
    while (fraction.endsWith(QLatin1Char('0')))
        fraction.chop(1);
    if (whole.isEmpty() && fraction.isEmpty())
        return QStringLiteral("0");
    QString out = (m.captured(1) == QLatin1String("-") ? QStringLiteral("-") : QString()) +
                  (whole.isEmpty() ? QStringLiteral("0") : whole);
    return fraction.isEmpty() ? out : out + QLatin1Char('.') + fraction;
}

struct Moment {
    QDate date;
    QTime time;
    QString fraction; // digits after the seconds, trailing zeros dropped
};

// "2024-02-29", "2024-02-29 13:45[:30[.500]]", "13:45[:30[.5]]"; nothing when it is not
// a real date and time in one of those forms.
std::optional<Moment> parseMoment(const QString& t, bool wantDate, bool wantTime) {
    static const QRegularExpression p(
        QStringLiteral("^(?:(\\d{4})-(\\d{2})-(\\d{2}))?[ T]?(?:(\\d{2}):(\\d{2})(?::(\\d{2})"
                       "(?:\\.(\\d{1,9}))?)?)?$"));
    const auto m = p.match(t.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    const bool hasDate = !m.captured(1).isEmpty();
    const bool hasTime = !m.captured(4).isEmpty();
    if ((wantDate && !hasDate) || (!wantDate && hasDate) || (!wantTime && hasTime) ||
        (!hasDate && !hasTime))
        return std::nullopt;
    Moment moment;
    if (hasDate) {
        moment.date = QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
        if (!moment.date.isValid())
            return std::nullopt;
    }
    moment.time = QTime(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
    if (!moment.time.isValid())
        return std::nullopt;
    moment.fraction = m.captured(7);
    while (moment.fraction.endsWith(QLatin1Char('0')))
        moment.fraction.chop(1);
    return moment;
}

bool sameMoment(Kind kind, const QString& a, const QString& b) {
    // A driver may give a date column a time of midnight, or a time a date of 1900-01-01.
    const auto loose = [&](const QString& t) {
        std::optional<Moment> m = parseMoment(t, kind != Kind::Time, kind != Kind::Date);
        if (!m)
            m = parseMoment(t, kind == Kind::Time, true);
        return m;
    };
    const std::optional<Moment> x = loose(a);
    const std::optional<Moment> y = loose(b);
    if (!x || !y)
        return a == b;
    const bool date = kind != Kind::Time;
    const bool time = kind != Kind::Date;
    return (!date || x->date == y->date) &&
           (!time || (x->time == y->time && x->fraction == y->fraction));
}

QString refuseMoment(Kind kind, const QString& t) {
    const QString form = kind == Kind::Date   ? QStringLiteral("year-month-day, as 2024-12-31")
                         : kind == Kind::Time ? QStringLiteral("hours:minutes:seconds, as 13:45:00")
                                              : QStringLiteral("year-month-day and a time, as "
                                                               "2024-12-31 13:45:00");
    return QStringLiteral("\"%1\" is not a real %2; write it as %3.")
        .arg(t, kind == Kind::Time ? QStringLiteral("time") : QStringLiteral("date"), form);
}

QString checkInteger(const ColumnType& c, const QString& t) {
    static const QRegularExpression p(QStringLiteral("^[+-]?\\d+$"));
    qint64 low = std::numeric_limits<int>::min(), high = std::numeric_limits<int>::max();
    if (c.info.sqlType == SQL_TINYINT)
        low = 0, high = 255;
    else if (c.info.sqlType == SQL_SMALLINT)
        low = -32768, high = 32767;
    else if (c.info.sqlType == SQL_BIGINT)
        low = std::numeric_limits<qint64>::min(), high = std::numeric_limits<qint64>::max();
    bool ok = false;
    const qint64 n = t.toLongLong(&ok);
    if (!p.match(t).hasMatch())
        return QStringLiteral("\"%1\" is not a whole number, and the column holds whole "
                              "numbers only.")
            .arg(t);
    if (!ok || n < low || n > high)
        return QStringLiteral("%1 is outside the column's range, %2 to %3.")
            .arg(t)
            .arg(low)
            .arg(high);
    return {};
}

QString checkExact(const ColumnType& c, const QString& t) {
    const auto [precision, scale] = precisionScale(c);
    const auto m = decimalPattern().match(t);
    if (!m.hasMatch() || (m.captured(2).isEmpty() && m.captured(3).isEmpty()))
        return QStringLiteral("\"%1\" is not a number written with digits and at most one "
                              "decimal point.")
            .arg(t);
    const std::optional<QString> n = normalDecimal(t);
    const qsizetype point = n->indexOf(QLatin1Char('.'));
    const qsizetype fraction = point < 0 ? 0 : n->size() - point - 1;
    QString whole = point < 0 ? *n : n->left(point);
    whole.remove(QLatin1Char('-'));
    const qsizetype wholeDigits = whole == QLatin1String("0") ? 0 : whole.size();
    if (fraction > scale)
        return QStringLiteral("the column keeps %1 digit(s) after the decimal point, and %2 "
                              "has %3; the server would round it.")
            .arg(scale)
            .arg(t)
            .arg(fraction);
    if (wholeDigits > precision - scale)
        return QStringLiteral("the column keeps at most %1 digit(s) before the decimal point, "
                              "and %2 has %3.")
            .arg(precision - scale)
            .arg(t)
            .arg(wholeDigits);
    return {};
}

} // namespace

TypedValue checkTyped(const ColumnType& c, const CellValue& typed) {
    if (!typed)
        return {typed, {}};
    const Kind kind = kindOf(c);
    const QString t = text(typed);
    const QString trimmed = t.trimmed();
    const auto refuse = [&](const QString& why) { return TypedValue{std::nullopt, why}; };
    if (t.contains(QChar(0)))
        return refuse(QStringLiteral("the text holds a NUL character, which no column can "
                                     "carry."));
    QString why;
    switch (kind) {
    case Kind::Binary:
        return refuse(QStringLiteral("binary values are not edited as text."));
    case Kind::Integer:
        why = checkInteger(c, trimmed);
        break;
    case Kind::Bit:
        if (trimmed != QLatin1String("0") && trimmed != QLatin1String("1"))
            why = QStringLiteral("the column holds 0 or 1 only.");
        break;
    case Kind::Exact:
        why = checkExact(c, trimmed);
        break;
    case Kind::Approximate: {
        const std::optional<double> d = parseApproximate(trimmed.toStdString());
        if (!d)
            why = QStringLiteral("\"%1\" is not a number.").arg(t);
        else if (c.info.sqlType == SQL_REAL && std::isinf(float(*d)))
            why = QStringLiteral("%1 is too large for the column.").arg(t);
        break;
    }
    case Kind::Date:
    case Kind::Time:
    case Kind::Stamp:
        if (!parseMoment(trimmed, kind != Kind::Time, kind != Kind::Date))
            why = refuseMoment(kind, trimmed);
        break;
    case Kind::Text:
    case Kind::FixedText:
    case Kind::WideText: {
        if (c.info.size == 0 || isLongType(c.info.sqlType))
            break;
        const qsizetype length = kind == Kind::WideText ? t.size() : typed->size();
        if (std::uint64_t(length) > c.info.size)
            why = QStringLiteral("the column holds at most %1 %2, and this text takes %3.")
                      .arg(c.info.size)
                      .arg(kind == Kind::WideText ? QStringLiteral("characters")
                                                  : QStringLiteral("bytes"))
                      .arg(length);
        break;
    }
    }
    if (!why.isEmpty())
        return refuse(why);
    if (kind == Kind::Text || kind == Kind::FixedText || kind == Kind::WideText)
        return {typed, {}};
    return {trimmed.toStdString(), {}};
}

bool sameValue(const ColumnType& c, const CellValue& a, const CellValue& b) {
    if (!a || !b)
        return !a && !b;
    if (*a == *b)
        return true;
    const Kind kind = kindOf(c);
    switch (kind) {
    case Kind::Approximate: {
        const std::optional<double> x = parseApproximate(*a), y = parseApproximate(*b);
        if (!x || !y)
            return false;
        if (c.approximateDigits > 0)
            return QString::number(*x, 'g', c.approximateDigits) ==
                   QString::number(*y, 'g', c.approximateDigits);
        return c.info.sqlType == SQL_REAL ? float(*x) == float(*y) : *x == *y;
    }
    case Kind::Integer:
    case Kind::Bit:
    case Kind::Exact: {
        const std::optional<QString> x = normalDecimal(text(a)), y = normalDecimal(text(b));
        if (x && y)
            return *x == *y;
        // An exact type the driver hands over as a double (SQLite's numeric).
        const std::optional<double> p = parseApproximate(*a), q = parseApproximate(*b);
        return kind == Kind::Exact && isApproximateType(c.info.sqlType) && p && q && *p == *q;
    }
    case Kind::Date:
    case Kind::Time:
    case Kind::Stamp:
        return sameMoment(kind, text(a), text(b));
    case Kind::FixedText: {
        // Fixed-width text comes back padded with blanks.
        std::string x = *a, y = *b;
        while (!x.empty() && x.back() == ' ')
            x.pop_back();
        while (!y.empty() && y.back() == ' ')
            y.pop_back();
        return x == y;
    }
    default:
        return false;
    }
}

QString quoted(const ColumnInfo& column, const CellValue& value) {
    if (!value)
        return QStringLiteral("NULL");
    if (column.binary)
        return QStringLiteral("binary data");
    QString t = text(value);
    if (t.size() > 40)
        t = t.left(40) + QChar(0x2026);
    return QChar(0x201C) + t + QChar(0x201D);
}

std::string approximateText(double value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string approximateText(float value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::optional<double> parseApproximate(std::string_view t) {
    if (!t.empty() && t.front() == '+')
        t.remove_prefix(1);
    double value = 0;
    const auto result = std::from_chars(t.data(), t.data() + t.size(), value);
    if (t.empty() || result.ec != std::errc() || result.ptr != t.data() + t.size() ||
        !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::pair<double, double> approximateRange(double value, int digits) {
    if (value == 0 || digits <= 0)
        return {value, value};
    // A whole unit in the last shown digit, either side: the bounds themselves then have
    // no more digits than the driver passes on when it binds them.
    const double unit = std::pow(10.0, std::floor(std::log10(std::fabs(value))) - digits + 1);
    const auto rounded = [&](double v) { return QString::number(v, 'g', digits).toDouble(); };
    return {rounded(value - unit), rounded(value + unit)};
}

QString uncarriableReason(const ColumnInfo& column, const CellValue& stored) {
    if (!stored || column.binary)
        return {};
    if (stored->find('\0') != std::string::npos)
        return QStringLiteral("Read-only: this value holds a NUL character, which cannot be "
                              "edited and written back exactly.");
    const QString t = text(stored);
    if (t.toUtf8() != QByteArray::fromStdString(*stored))
        return QStringLiteral("Read-only: this value holds bytes that are not text in the "
                              "column's encoding (UTF-8); it cannot be edited and written back "
                              "exactly.");
    return {};
}

} // namespace db
