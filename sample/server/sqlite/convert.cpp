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

void stripBlanks(std::string& s) {
    const std::size_t end = s.find_last_not_of(' ');
    s.resize(end == std::string::npos ? 0 : end + 1);
    if (s.empty())
        s.assign(1, ' '); // an empty string is kept as one blank
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
    if (d && d->integerDigits() > c.precision - c.scale)
        d.reset(); // more whole digits than the column holds: an overflow, below
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

Converted convert(const Literal& l, const ColumnInfo& c, bool comparing, Charset charset) {
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
        if (t == AseType::Real && std::fabs(r.value.real) <= 3.4028234663852886e38)
            r.value.real = double(float(r.value.real));
        else if (t == AseType::Real)
            r.value.real = HUGE_VAL;
        if (!std::isfinite(r.value.real)) {
            if (comparing)
                r.neverEqual = true;
            else
                r.error =
                    msg::overflow(approximate(l.text) ? "FLOAT" : "NUMERIC", l.text, upperName(t));
        }
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
        if (t == AseType::Text || t == AseType::UniText) { // kept as sent, '' one blank
            if (r.value.bytes.empty())
                r.value.bytes.assign(1, ' ');
            return r;
        }
        if (!comparing) {
            // Too long: cut without a message, as long as string_rtruncation is off.
            if (t == AseType::UniChar || t == AseType::UniVarChar)
                cutUtf16(r.value.bytes, std::size_t(c.length));
            else
                cutToServerLength(r.value.bytes, std::size_t(c.length), charset);
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

} // namespace

Converted toStored(const Literal& literal, const ColumnInfo& column, Charset charset) {
    return convert(literal, column, false, charset);
}

Converted toCompared(const Literal& literal, const ColumnInfo& column) {
    return convert(literal, column, true, Charset::Utf8);
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

} // namespace tds::sqlite
