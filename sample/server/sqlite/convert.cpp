#include "convert.h"

#include "datetime.h"
#include "decimal.h"
#include "messages.h"
#include "types.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tds::sqlite {

namespace {

std::string upperName(AseType t) {
    std::string n = typeName(t);
    for (char& c : n)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return n;
}

std::string literalTypeName(const Literal& l) {
    switch (l.kind) {
    case Literal::String:
        return "varchar";
    case Literal::Hex:
        return "varbinary";
    case Literal::Number:
        return l.text.find_first_of(".eE") == std::string::npos ? "int" : "numeric";
    case Literal::Null:
        break;
    }
    return "varchar";
}

Converted refused(const Literal& l, const ColumnInfo& c) {
    Converted r;
    r.error = msg::notAllowed(literalTypeName(l), typeName(c.type));
    return r;
}

bool approximate(const std::string& number) {
    return number.find_first_of("eE") != std::string::npos;
}

// A number literal as an exact decimal; an approximate one (1.5e3) through a double.
std::optional<Decimal> exactOf(const std::string& number) {
    if (!approximate(number))
        return Decimal::parse(number);
    char b[64];
    std::snprintf(b, sizeof b, "%.15f", std::strtod(number.c_str(), nullptr));
    return Decimal::parse(b);
}

// Cut to at most `limit` bytes without splitting a UTF-8 character.
void cutBytes(std::string& s, std::size_t limit) {
    if (s.size() <= limit)
        return;
    std::size_t n = limit;
    while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80)
        --n;
    s.resize(n);
}

// Cut to at most `limit` UTF-16 code units.
void cutUtf16(std::string& s, std::size_t limit) {
    std::size_t units = 0, i = 0;
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        const std::size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        const std::size_t need = len == 4 ? 2 : 1;
        if (units + need > limit)
            break;
        units += need;
        i += len;
    }
    s.resize(std::min(i, s.size()));
}

std::size_t utf16Units(const std::string& s) {
    std::size_t units = 0;
    for (unsigned char c : s)
        if ((c & 0xC0) != 0x80)
            units += c >= 0xF0 ? 2 : 1;
    return units;
}

void stripBlanks(std::string& s) {
    const std::size_t end = s.find_last_not_of(' ');
    s.resize(end == std::string::npos ? 0 : end + 1);
    if (s.empty())
        s = " "; // an empty string is kept as one blank
}

Converted integerValue(const Literal& l, const ColumnInfo& c, bool comparing) {
    Converted r;
    std::optional<Decimal> d = exactOf(l.text);
    const std::string from = approximate(l.text) ? "FLOAT" : "NUMERIC";
    if (!d) {
        r.error = msg::overflow(from, l.text, upperName(c.type));
        return r;
    }
    Decimal whole;
    if (!d->rescale(0, whole)) {
        if (comparing)
            r.neverEqual = true;
        else
            r.error = msg::scaleError(l.text);
        return r;
    }
    std::int64_t lo = INT32_MIN, hi = INT32_MAX;
    if (c.type == AseType::SmallInt)
        lo = INT16_MIN, hi = INT16_MAX;
    else if (c.type == AseType::TinyInt)
        lo = 0, hi = 255;
    else if (c.type == AseType::BigInt || c.type == AseType::Bit)
        lo = INT64_MIN, hi = INT64_MAX;
    if (!whole.fitsInt64() || whole.toInt64() < lo || whole.toInt64() > hi) {
        if (comparing)
            r.neverEqual = true;
        else
            r.error = msg::overflow(from, l.text, upperName(c.type));
        return r;
    }
    r.value.kind = Stored::Integer;
    r.value.integer = whole.toInt64();
    if (c.type == AseType::Bit && r.value.integer != 0)
        r.value.integer = 1; // any value but 0 is taken as 1
    return r;
}

Converted exactValue(const Literal& l, const ColumnInfo& c, bool comparing) {
    Converted r;
    const std::string from = approximate(l.text) ? "FLOAT" : "NUMERIC";
    const bool money = c.type == AseType::Money || c.type == AseType::SmallMoney;
    std::optional<Decimal> d = exactOf(l.text);
    Decimal scaled;
    if (d && !d->rescale(c.scale, scaled) && !money) { // money rounds to 4 digits
        if (comparing)
            r.neverEqual = true;
        else
            r.error = msg::scaleError(l.text);
        return r;
    }
    bool fits = d && scaled.digits() <= c.precision;
    if (fits && money) {
        const u128 top = c.type == AseType::Money ? INT64_MAX : INT32_MAX;
        fits = scaled.magnitude <= top + (scaled.negative ? 1 : 0);
    }
    if (!fits) {
        if (comparing)
            r.neverEqual = true;
        else
            r.error = msg::overflow(from, l.text, upperName(c.type));
        return r;
    }
    Decimal whole;
    if (comparing && comparesCanonically(c)) {
        r.value.kind = Stored::Text;
        r.value.bytes = scaled.toString();
    } else if (scaled.rescale(0, whole) && whole.fitsInt64()) {
        r.value.kind = Stored::Integer;
        r.value.integer = whole.toInt64();
    } else {
        r.value.kind = Stored::Blob;
        r.value.bytes = scaled.toString();
    }
    return r;
}

} // namespace

Converted toStored(const Literal& l, const ColumnInfo& c, bool comparing) {
    Converted r;
    if (l.kind == Literal::Null)
        return r;
    const AseType t = c.type;
    if (isInteger(t))
        return l.kind == Literal::Number ? integerValue(l, c, comparing) : refused(l, c);
    if (isExactNumeric(t))
        return l.kind == Literal::Number ? exactValue(l, c, comparing) : refused(l, c);
    if (t == AseType::Float || t == AseType::Real) {
        if (l.kind != Literal::Number)
            return refused(l, c);
        r.value.kind = Stored::Real;
        r.value.real = std::strtod(l.text.c_str(), nullptr);
        if (t == AseType::Real)
            r.value.real = double(float(r.value.real));
        return r;
    }
    if (isDateTime(t)) {
        if (l.kind != Literal::String)
            return refused(l, c);
        std::optional<std::string> text = canonicalDateTime(l.text, t);
        if (!text) {
            r.error = msg::conversionSyntax(l.text, upperName(t));
            return r;
        }
        r.value.kind = Stored::Text;
        r.value.bytes = *text;
        return r;
    }
    if (isString(t)) {
        if (l.kind != Literal::String)
            return refused(l, c);
        r.value.kind = Stored::Text;
        r.value.bytes = l.text;
        if (t == AseType::Text) { // kept as sent, but '' is one blank here too
            if (r.value.bytes.empty())
                r.value.bytes = " ";
            return r;
        }
        if (!comparing) {
            // Too long: cut without a message, as long as string_rtruncation is off.
            if (t == AseType::UniChar || t == AseType::UniVarChar)
                cutUtf16(r.value.bytes, std::size_t(c.length));
            else
                cutBytes(r.value.bytes, std::size_t(c.length));
        }
        stripBlanks(r.value.bytes);
        return r;
    }
    // binary, varbinary, image, timestamp
    if (l.kind != Literal::Hex)
        return refused(l, c);
    r.value.kind = Stored::Blob;
    r.value.bytes = l.text;
    if (!comparing && (t == AseType::Binary || t == AseType::VarBinary) &&
        r.value.bytes.size() > std::size_t(c.length))
        r.value.bytes.resize(std::size_t(c.length));
    return r;
}

bool comparesCanonically(const ColumnInfo& c) {
    return isDateTime(c.type) || (isExactNumeric(c.type) && (c.scale > 0 || c.precision > 18));
}

namespace {

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
    const char* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
    std::string text(p ? p : "", std::size_t(sqlite3_value_bytes(v)));
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
}

void bind(sqlite3_stmt* s, int i, const Stored& v) {
    switch (v.kind) {
    case Stored::Null:
        sqlite3_bind_null(s, i);
        break;
    case Stored::Integer:
        sqlite3_bind_int64(s, i, v.integer);
        break;
    case Stored::Real:
        sqlite3_bind_double(s, i, v.real);
        break;
    case Stored::Text:
        sqlite3_bind_text(s, i, v.bytes.data(), int(v.bytes.size()), SQLITE_TRANSIENT);
        break;
    case Stored::Blob:
        sqlite3_bind_blob(s, i, v.bytes.data(), int(v.bytes.size()), SQLITE_TRANSIENT);
        break;
    }
}

Value readValue(sqlite3_stmt* s, int i, const ColumnInfo& c) {
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
    const char* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
    std::string text(p ? p : "", std::size_t(sqlite3_value_bytes(v)));
    if (text.empty())
        text = " ";
    // A fixed-length column that allows nulls is kept as a variable-length one.
    if (c.nullable)
        return Value::Text(std::move(text));
    if (t == AseType::Char && text.size() < std::size_t(c.length))
        text.append(std::size_t(c.length) - text.size(), ' ');
    else if (t == AseType::UniChar && utf16Units(text) < std::size_t(c.length))
        text.append(std::size_t(c.length) - utf16Units(text), ' ');
    return Value::Text(std::move(text));
}

} // namespace tds::sqlite
