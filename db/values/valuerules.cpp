#include "db/values/valuerules.h"
#include "db/values/sqltypes.h"
#include "db/values/valuekinds.h"

#include <sqlext.h>

#include <QRegularExpression>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace db {
namespace {

using namespace values;

QString refuseMoment(Kind kind, const QString& t) {
    const QString form = kind == Kind::Date ? QStringLiteral("year-month-day, as 2024-12-31")
                         : kind == Kind::Time
                             ? QStringLiteral("hours:minutes[:seconds], as 13:45 or 13:45:30")
                             : QStringLiteral("year-month-day and a time, as 2024-12-31 or "
                                              "2024-12-31 13:45");
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

// The significant digits and the power of ten of a number written in decimal, so that
// "0.250", "2.5e-1" and "25E-2" compare equal; zero is {"0", 0} whatever its sign.
std::pair<std::string, long> decimalValue(std::string_view t) {
    std::string digits;
    long exponent = 0;
    bool negative = false, point = false;
    std::size_t i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-'))
        negative = t[i++] == '-';
    for (; i < t.size() && t[i] != 'e' && t[i] != 'E'; ++i) {
        if (t[i] == '.') {
            point = true;
            continue;
        }
        digits += t[i];
        if (point)
            --exponent;
    }
    if (i < t.size())
        exponent += std::strtol(std::string(t.substr(i + 1)).c_str(), nullptr, 10);
    const std::size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos)
        return {"0", 0};
    digits.erase(0, first);
    const std::size_t last = digits.find_last_not_of('0');
    exponent += long(digits.size() - last - 1);
    digits.erase(last + 1);
    return {(negative ? "-" : "") + digits, exponent};
}

QString checkApproximate(const ColumnType& c, const QString& t) {
    const std::string typed = t.toStdString();
    const std::optional<double> d = parseApproximate(typed);
    if (!d)
        return QStringLiteral("\"%1\" is not a number.").arg(t);
    const bool real = c.info.sqlType == SQL_REAL;
    if (real && std::isinf(float(*d)))
        return QStringLiteral("%1 is too large for the column.").arg(t);
    // The number the column would hold, as it would be shown: it must be the one typed.
    const std::string held = real ? approximateText(float(*d)) : approximateText(*d);
    if (decimalValue(held) != decimalValue(typed))
        return QStringLiteral("the column cannot hold %1 exactly (a %2 keeps about %3 "
                              "significant digits); it would hold %4.")
            .arg(t, real ? QStringLiteral("real") : QStringLiteral("float"),
                 real ? QStringLiteral("7") : QStringLiteral("15"), QString::fromStdString(held));
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
    case Kind::Approximate:
        why = checkApproximate(c, trimmed);
        break;
    case Kind::Date:
    case Kind::Time:
    case Kind::Stamp:
        if (const auto moment = parseMoment(trimmed, kind != Kind::Time, kind != Kind::Date))
            return {moment->text().toStdString(), {}}; // one form, whatever was typed
        why = refuseMoment(kind, trimmed);
        break;
    case Kind::Text:
    case Kind::FixedText:
    case Kind::WideText: {
        // The statement carries the text in the server's set, also for unichar columns.
        const ServerCharset::Encoded encoded = c.charset.encode(*typed);
        if (!encoded.missing.isEmpty()) {
            why = QStringLiteral("the server's character set, %1, has no \u201C%2\u201D, and "
                                 "every value reaches the server in it.")
                      .arg(c.charset.name(), encoded.missing);
            break;
        }
        if (c.info.size == 0 || sqltypes::isLong(c.info.sqlType))
            break;
        const qsizetype length = kind == Kind::WideText ? t.size() : qsizetype(encoded.bytes);
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

CellValue storedValue(const ResultTable& rows, int row, int column) {
    if (rows.isNull(row, column))
        return std::nullopt;
    return std::string(rows.bytes(row, column));
}

} // namespace db
