// How stored and typed values compare, and how they are quoted and carried.

#include "db/values/sqltypes.h"
#include "db/values/valuekinds.h"
#include "db/values/valuerules.h"

#include <QByteArrayView>
#include <sqlext.h>

#include <charconv>
#include <cmath>

namespace db {
namespace {

using namespace values;

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

} // namespace

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
        return c.info.sqlType == SQL_REAL ? float(*x) == float(*y) : *x == *y;
    }
    case Kind::Integer:
    case Kind::Bit:
    case Kind::Exact: {
        const std::optional<QString> x = normalDecimal(text(a)), y = normalDecimal(text(b));
        return x && y && *x == *y;
    }
    case Kind::Date:
    case Kind::Time:
    case Kind::Stamp:
        return sameMoment(kind, text(a), text(b));
    case Kind::Binary:
        return false;
    default: {
        // Adaptive Server compares strings regardless of trailing blanks, pads fixed-width
        // ones, drops them from variable-width ones and keeps an empty string as one
        // blank. A long text keeps its blanks, all but that empty string.
        std::string x = *a, y = *b;
        const auto trim = [](std::string& t) {
            while (!t.empty() && t.back() == ' ')
                t.pop_back();
        };
        trim(x);
        trim(y);
        if (sqltypes::isLong(c.info.sqlType))
            return x.empty() && y.empty() && a->size() <= 1 && b->size() <= 1;
        return x == y;
    }
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

QString uncarriableReason(const ColumnInfo& column, const CellValue& stored) {
    return stored ? uncarriableReason(column, std::string_view(*stored)) : QString();
}

QString uncarriableReason(const ColumnInfo& column, std::string_view stored) {
    if (column.binary)
        return {};
    if (stored.find('\0') != std::string_view::npos)
        return QStringLiteral("Read-only: this value holds a NUL character, which cannot be "
                              "edited and written back exactly.");
    // Valid UTF-8 comes back from the editor byte for byte; checking that reads the value
    // once and copies nothing, which matters for a cell of many megabytes. A leading byte
    // order mark and anything that is not valid take the round trip itself.
    const QByteArrayView bytes(stored.data(), qsizetype(stored.size()));
    if (bytes.isValidUtf8() && !bytes.startsWith("\xEF\xBB\xBF"))
        return {};
    const QByteArray original = bytes.toByteArray();
    if (QString::fromUtf8(original).toUtf8() != original)
        return QStringLiteral("Read-only: this value holds bytes that are not text in the "
                              "column's encoding (UTF-8); it cannot be edited and written back "
                              "exactly.");
    return {};
}

} // namespace db
