#include "db/values/sortkeys.h"

#include "db/values/valuekinds.h"
#include "db/values/valuerules.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace db {
namespace {

constexpr char kNull = 0x00;
constexpr char kValue = 0x01;
constexpr char kUnread = 0x02; // a value that does not read as its type

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view trimmed(std::string_view t) {
    while (!t.empty() && (t.front() == ' ' || t.front() == '\t'))
        t.remove_prefix(1);
    while (!t.empty() && (t.back() == ' ' || t.back() == '\t'))
        t.remove_suffix(1);
    return t;
}

// Sign, then the count of whole digits, then the digits; negative numbers with every
// part turned round so that they order backwards, and closed so that a shorter fraction
// goes after a longer one.
bool appendDecimal(std::string_view t, std::string& key) {
    t = trimmed(t);
    bool negative = false;
    if (!t.empty() && (t.front() == '-' || t.front() == '+')) {
        negative = t.front() == '-';
        t.remove_prefix(1);
    }
    const std::size_t point = t.find('.');
    std::string_view whole = t.substr(0, point);
    std::string_view fraction =
        point == std::string_view::npos ? std::string_view() : t.substr(point + 1);
    if (whole.empty() && fraction.empty())
        return false;
    for (char c : whole)
        if (!isDigit(c))
            return false;
    for (char c : fraction)
        if (!isDigit(c))
            return false;
    while (!whole.empty() && whole.front() == '0')
        whole.remove_prefix(1);
    while (!fraction.empty() && fraction.back() == '0')
        fraction.remove_suffix(1);
    if (whole.size() > 200)
        return false;
    key += kValue;
    if (whole.empty() && fraction.empty()) {
        key += char(0x02); // zero
        return true;
    }
    const auto digit = [negative](char c) { return char(negative ? '9' - c : c - '0'); };
    key += char(negative ? 0x01 : 0x03);
    key += char(negative ? 255 - int(whole.size()) : int(whole.size()));
    for (char c : whole)
        key += digit(c);
    for (char c : fraction)
        key += digit(c);
    if (negative)
        key += char(10); // above every turned digit
    return true;
}

bool appendApproximate(std::string_view t, std::string& key) {
    const std::optional<double> read = db::parseApproximate(trimmed(t));
    if (!read)
        return false;
    const double value = *read == 0 ? 0.0 : *read; // -0 and 0 are one number
    std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
    bits = (bits >> 63) ? ~bits : bits ^ (std::uint64_t(1) << 63);
    key += kValue;
    for (int shift = 56; shift >= 0; shift -= 8)
        key += char((bits >> shift) & 0xFF);
    return true;
}

// Takes `count` digits from the front of `t` into the key.
bool takeDigits(std::string_view& t, std::size_t count, std::string& key) {
    if (t.size() < count)
        return false;
    for (std::size_t i = 0; i < count; ++i)
        if (!isDigit(t[i]))
            return false;
    key.append(t.data(), count);
    t.remove_prefix(count);
    return true;
}

bool take(std::string_view& t, char c) {
    if (t.empty() || t.front() != c)
        return false;
    t.remove_prefix(1);
    return true;
}

// "2024-02-29[ 13:45[:30[.500]]]" or "13:45[:30[.5]]": the digits of each part, in order,
// seconds "00" when left out, the fraction without its trailing zeros.
bool appendMoment(std::string_view t, std::string& key) {
    t = trimmed(t);
    const std::size_t start = key.size();
    key += kValue;
    const bool hasDate = t.size() >= 10 && t[4] == '-';
    if (hasDate) {
        if (!takeDigits(t, 4, key) || !take(t, '-') || !takeDigits(t, 2, key) || !take(t, '-') ||
            !takeDigits(t, 2, key))
            return key.resize(start), false;
        if (t.empty()) {
            key += "000000";
            return true;
        }
        if (!take(t, ' ') && !take(t, 'T'))
            return key.resize(start), false;
    }
    if (!takeDigits(t, 2, key) || !take(t, ':') || !takeDigits(t, 2, key))
        return key.resize(start), false;
    if (t.empty()) {
        key += "00";
        return true;
    }
    if (!take(t, ':') || !takeDigits(t, 2, key))
        return key.resize(start), false;
    if (take(t, '.')) {
        while (!t.empty() && t.back() == '0')
            t.remove_suffix(1);
        for (char c : t)
            if (!isDigit(c))
                return key.resize(start), false;
        key.append(t);
        t = {};
    }
    if (!t.empty())
        return key.resize(start), false;
    return true;
}

} // namespace

SortKind sortKindOf(const db::ColumnInfo& column, const QString& typeName) {
    using db::values::Kind;
    switch (db::values::kindOf(db::ColumnType{column, typeName})) {
    case Kind::Binary:
        return SortKind::Bytes;
    case Kind::Integer:
    case Kind::Bit:
    case Kind::Exact:
        return SortKind::Decimal;
    case Kind::Approximate:
        return SortKind::Approximate;
    case Kind::Date:
    case Kind::Time:
    case Kind::Stamp:
        return SortKind::Moment;
    default:
        return SortKind::Text;
    }
}

bool appendSortKey(SortKind kind, const db::ResultTable& rows, int row, int column,
                   std::string& key, std::size_t limit) {
    if (rows.isNull(row, column)) {
        key += kNull;
        return true;
    }
    std::string_view value = rows.bytes(row, column);
    switch (kind) {
    case SortKind::Decimal:
        if (appendDecimal(value, key))
            return true;
        break;
    case SortKind::Approximate:
        if (appendApproximate(value, key))
            return true;
        break;
    case SortKind::Moment:
        if (appendMoment(value, key))
            return true;
        break;
    case SortKind::Text:
        while (!value.empty() && value.back() == ' ')
            value.remove_suffix(1);
        key += kValue;
        break;
    case SortKind::Bytes:
        key += kValue;
        break;
    }
    if (kind != SortKind::Text && kind != SortKind::Bytes)
        key += kUnread;
    const bool whole = value.size() <= limit;
    key.append(value.substr(0, limit));
    return whole;
}

} // namespace db
