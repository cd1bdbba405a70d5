// Stored values as the server returns and compares them, whatever form the SQLite file
// holds them in.

#include "convert.h"

#include "datetime.h"
#include "decimal.h"
#include "types.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tds::sqlite {

bool comparesCanonically(const ColumnInfo& c) {
    return isDateTime(c.type) || (isExactNumeric(c.type) && (c.scale > 0 || c.precision > 18));
}

namespace {

std::size_t utf16Units(const std::string& s) {
    std::size_t units = 0;
    for (unsigned char c : s)
        if ((c & 0xC0) != 0x80)
            units += c >= 0xF0 ? 2 : 1;
    return units;
}

// `unscaled` / 10^scale as decimal text; scale <= 18.
std::string scaledText(std::int64_t unscaled, int scale) {
    char digits[24];
    const bool negative = unscaled < 0;
    std::uint64_t m = negative ? 0 - std::uint64_t(unscaled) : std::uint64_t(unscaled);
    int n = 0;
    do {
        digits[n++] = char('0' + int(m % 10));
        m /= 10;
    } while (m != 0 || n <= scale);
    std::string out;
    out.reserve(std::size_t(n) + 2);
    if (negative)
        out += '-';
    for (int i = n - 1; i >= 0; --i) {
        out += digits[i];
        if (i == scale && scale > 0)
            out += '.';
    }
    return out;
}

constexpr std::int64_t powers[] = {1,
                                   10,
                                   100,
                                   1000,
                                   10000,
                                   100000,
                                   1000000,
                                   10000000,
                                   100000000,
                                   1000000000,
                                   10000000000,
                                   100000000000,
                                   1000000000000,
                                   10000000000000,
                                   100000000000000,
                                   1000000000000000,
                                   10000000000000000,
                                   100000000000000000,
                                   1000000000000000000};

// Already in the canonical form of its type: the common case, returned as it is.
bool canonicalShape(const std::string& t, AseType type) {
    auto digitsAt = [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i)
            if (t[i] < '0' || t[i] > '9')
                return false;
        return true;
    };
    auto date = [&] {
        return digitsAt(0, 4) && t[4] == '-' && digitsAt(5, 7) && t[7] == '-' && digitsAt(8, 10);
    };
    auto time = [&](std::size_t at, std::size_t fraction) {
        return digitsAt(at, at + 2) && t[at + 2] == ':' && digitsAt(at + 3, at + 5) &&
               t[at + 5] == ':' && digitsAt(at + 6, at + 8) && t[at + 8] == '.' &&
               digitsAt(at + 9, at + 9 + fraction);
    };
    switch (type) {
    case AseType::Date:
        return t.size() == 10 && date();
    case AseType::Time:
        return t.size() == 12 && time(0, 3);
    case AseType::BigDateTime:
        return t.size() == 26 && date() && t[10] == ' ' && time(11, 6);
    case AseType::SmallDateTime:
        return t.size() == 23 && date() && t[10] == ' ' && time(11, 3) &&
               t.compare(17, 6, "00.000") == 0;
    default: { // datetime: also only milliseconds that 1/300 s can show
        if (t.size() != 23 || !date() || t[10] != ' ' || !time(11, 3))
            return false;
        const int ms = (t[20] - '0') * 100 + (t[21] - '0') * 10 + (t[22] - '0');
        const int ticks = (ms * 300 + 500) / 1000;
        return (ticks * 1000 + 150) / 300 == ms;
    }
    }
}

} // namespace

std::optional<std::string> canonicalText(sqlite3_value* v, const ColumnInfo& c) {
    const int kind = sqlite3_value_type(v);
    if (kind == SQLITE_NULL)
        return std::nullopt;
    if (isExactNumeric(c.type)) {
        std::optional<Decimal> d;
        if (kind == SQLITE_INTEGER) {
            const std::int64_t i = sqlite3_value_int64(v);
            if (c.scale <= 15 && i > -powers[18 - c.scale] && i < powers[18 - c.scale])
                return scaledText(i * powers[c.scale], c.scale);
            d = Decimal::fromInteger(i);
        } else if (kind == SQLITE_FLOAT) {
            const double x = sqlite3_value_double(v);
            if (c.scale <= 15 && std::fabs(x) * double(powers[c.scale]) < 9.0e15)
                return scaledText(std::llround(x * double(powers[c.scale])), c.scale);
            char b[512];
            std::snprintf(b, sizeof b, "%.*f", c.scale, x);
            d = Decimal::parse(b);
        } else {
            const char* p = static_cast<const char*>(sqlite3_value_blob(v));
            d = Decimal::parse(std::string(p ? p : "", std::size_t(sqlite3_value_bytes(v))));
        }
        Decimal scaled;
        if (!d)
            return std::string();
        d->rescale(c.scale, scaled);
        return scaled.toString();
    }
    std::string text = valueText(v);
    if (isDateTime(c.type)) {
        if (canonicalShape(text, c.type))
            return text;
        return canonicalDateTime(text, c.type).value_or(text);
    }
    return text;
}

void registerCanonicalFunction(sqlite3* db) {
    auto canon = [](sqlite3_context* ctx, int, sqlite3_value** args) {
        ColumnInfo c;
        c.type = AseType(sqlite3_value_int(args[1]));
        c.scale = sqlite3_value_int(args[2]);
        c.precision = 38;
        std::optional<std::string> text = canonicalText(args[0], c);
        if (!text)
            sqlite3_result_null(ctx);
        else
            sqlite3_result_text(ctx, text->data(), int(text->size()), SQLITE_TRANSIENT);
    };
    sqlite3_create_function(db, "qv_canon", 3, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, canon,
                            nullptr, nullptr);
    // Two exact numbers as qv_canon gives them, by value: -1, 0 or 1 (NULL for a NULL).
    auto compareDecimals = [](sqlite3_context* ctx, int, sqlite3_value** args) {
        if (sqlite3_value_type(args[0]) == SQLITE_NULL ||
            sqlite3_value_type(args[1]) == SQLITE_NULL) {
            sqlite3_result_null(ctx);
            return;
        }
        std::optional<Decimal> a = Decimal::parse(valueText(args[0]));
        std::optional<Decimal> b = Decimal::parse(valueText(args[1]));
        if (!a || !b) {
            sqlite3_result_null(ctx);
            return;
        }
        const int scale = std::max(a->scale, b->scale);
        Decimal x, y;
        a->rescale(scale, x);
        b->rescale(scale, y);
        const auto sign = [](const Decimal& d) { return d.isZero() ? 0 : d.negative ? -1 : 1; };
        int cmp = sign(x) - sign(y);
        if (cmp == 0 && sign(x) != 0) {
            cmp = x.magnitude < y.magnitude ? -1 : x.magnitude > y.magnitude ? 1 : 0;
            if (x.negative)
                cmp = -cmp;
        }
        sqlite3_result_int(ctx, cmp < 0 ? -1 : cmp > 0 ? 1 : 0);
    };
    sqlite3_create_function(db, "qv_deccmp", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                            compareDecimals, nullptr, nullptr);
}

Value readValue(sqlite3_stmt* s, int i, const ColumnInfo& c, Charset charset) {
    sqlite3_value* v = sqlite3_column_value(s, i);
    const int kind = sqlite3_value_type(v);
    if (kind == SQLITE_NULL)
        return Value::Null();
    const AseType t = c.type;
    if (isInteger(t)) {
        if (kind == SQLITE_FLOAT)
            return Value::Integer(std::llround(sqlite3_value_double(v)));
        return Value::Integer(sqlite3_value_int64(v));
    }
    if (t == AseType::Float || t == AseType::Real)
        return Value::Real(sqlite3_value_double(v));
    if (isExactNumeric(t) || isDateTime(t))
        return Value::Text(canonicalText(v, c).value_or(std::string()));
    if (isBinary(t)) {
        const char* p = static_cast<const char*>(sqlite3_value_blob(v));
        std::string bytes(p ? p : "", std::size_t(sqlite3_value_bytes(v)));
        if (t == AseType::Binary && !c.nullable && bytes.size() < std::size_t(c.length))
            bytes.resize(std::size_t(c.length), '\0');
        return Value::Text(std::move(bytes));
    }
    std::string text = valueText(v);
    if (text.empty())
        text.assign(1, ' ');
    // A fixed-length column that allows nulls is kept as a variable-length one.
    if (c.nullable)
        return Value::Text(std::move(text));
    if (const std::size_t length = serverLength(text, charset);
        t == AseType::Char && length < std::size_t(c.length))
        text.append(std::size_t(c.length) - length, ' ');
    else if (t == AseType::UniChar && utf16Units(text) < std::size_t(c.length))
        text.append(std::size_t(c.length) - utf16Units(text), ' ');
    return Value::Text(std::move(text));
}

} // namespace tds::sqlite
