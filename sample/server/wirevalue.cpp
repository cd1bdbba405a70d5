#include "sample/server/wirevalue.h"

#include <cstdio>

namespace tds {
namespace {

enum : std::uint8_t {
    INT1 = 0x30,
    INT2 = 0x34,
    INT4 = 0x38,
    INT8 = 0xBF,
    INTN = 0x26,
    NUMN = 0x6C,
    DECN = 0x6A,
    MONEY = 0x3C,
    SMALLMONEY = 0x7A,
    MONEYN = 0x6E,
    FLT8 = 0x3E,
    REAL = 0x3B,
    FLTN = 0x6D,
    DATETIME = 0x3D,
    DATETIME4 = 0x3A,
    DATETIMN = 0x6F,
    DATE = 0x31,
    TIME = 0x33,
    DATEN = 0x7B,
    TIMEN = 0x93,
    BIGDATETIME = 0xBB,
    CHAR = 0x2F,
    VARCHAR = 0x27,
    LONGCHAR = 0xAF,
    LONGBINARY = 0xE1,
    TEXT = 0x23,
    IMAGE = 0x22,
    BIT = 0x32,
    BITN = 0x68,
    BINARY = 0x2D,
    VARBINARY = 0x25,
    UNITEXT = 0xAE,
};

// Bytes of a numeric of each precision, sign byte included.
constexpr std::uint8_t kNumericBytes[] = {0,  2,  2,  3,  3,  4,  4,  4,  5,  5,  6,  6,  6,
                                          7,  7,  8,  8,  9,  9,  9,  10, 10, 11, 11, 11, 12,
                                          12, 13, 13, 14, 14, 14, 15, 15, 16, 16, 16, 17, 17};

// Days from 1900-01-01 to the 1900-01-01-based civil date (proleptic Gregorian).
std::int64_t daysSince1900(int y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = int(y - era * 400);
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468 + 25567; // 1970-01-01 is day 25567
}

struct Moment {
    std::int64_t days = 0;   // since 1900-01-01
    std::int64_t micros = 0; // of the day
};

[[noreturn]] void bad(const ColumnInfo& c, const std::string& text) {
    throw WireError("The value '" + text + "' of column '" + c.name + "' cannot be sent.");
}

// "YYYY-MM-DD", "YYYY-MM-DD hh:mm:ss[.f…]" or, for time, "hh:mm:ss[.f…]".
Moment parseMoment(const ColumnInfo& c, const std::string& s, bool timeOnly) {
    int y = 1900, mo = 1, d = 1, h = 0, mi = 0, sec = 0, used = 0;
    const char* p = s.c_str();
    if (!timeOnly) {
        if (std::sscanf(p, "%5d-%2d-%2d%n", &y, &mo, &d, &used) != 3 || mo < 1 || mo > 12 ||
            d < 1 || d > 31)
            bad(c, s);
        p += used;
        if (*p == ' ' || *p == 'T')
            ++p;
    }
    Moment m{daysSince1900(y, mo, d), 0};
    if (*p) {
        used = 0;
        if (std::sscanf(p, "%2d:%2d:%2d%n", &h, &mi, &sec, &used) != 3 || h > 23 || mi > 59 ||
            sec > 59 || h < 0 || mi < 0 || sec < 0)
            bad(c, s);
        p += used;
        std::int64_t fraction = 0;
        int digits = 0;
        if (*p == '.')
            for (++p; *p >= '0' && *p <= '9'; ++p, ++digits)
                if (digits < 6)
                    fraction = fraction * 10 + (*p - '0');
        if (*p)
            bad(c, s);
        for (int k = digits; k < 6; ++k)
            fraction *= 10;
        m.micros = (std::int64_t(h) * 3600 + mi * 60 + sec) * 1000000 + fraction;
    }
    return m;
}

// 1/300 s ticks of the day, as datetime and time hold them.
std::uint32_t ticks(const Moment& m) {
    const std::int64_t seconds = m.micros / 1000000;
    const std::int64_t millis = (m.micros % 1000000 + 500) / 1000;
    return std::uint32_t(seconds * 300 + (millis * 300 + 500) / 1000);
}

// A plain decimal as a sign and the digits of value × 10^scale.
void parseDecimal(const ColumnInfo& c, const std::string& s, int scale, bool& negative,
                  unsigned __int128& magnitude) {
    std::size_t i = 0;
    negative = !s.empty() && s[0] == '-';
    if (!s.empty() && (s[0] == '-' || s[0] == '+'))
        ++i;
    magnitude = 0;
    int fraction = -1, digits = 0;
    for (; i < s.size(); ++i) {
        if (s[i] == '.' && fraction < 0) {
            fraction = 0;
            continue;
        }
        if (s[i] < '0' || s[i] > '9' || ++digits > 38)
            bad(c, s);
        if (fraction >= 0 && ++fraction > scale)
            bad(c, s); // more digits than the column's scale: never rounded here
        magnitude = magnitude * 10 + unsigned(s[i] - '0');
    }
    if (digits == 0)
        bad(c, s);
    for (int k = fraction < 0 ? 0 : fraction; k < scale; ++k)
        magnitude *= 10;
}

std::string padBlank(std::string s) {
    return s.empty() ? std::string(" ") : s; // zero length would read as NULL
}

void putLengthPrefixed8(ByteWriter& out, const ColumnInfo& c, const std::string& bytes,
                        std::size_t limit) {
    if (bytes.size() > limit)
        bad(c, bytes);
    out.u8(std::uint8_t(bytes.size()));
    out.bytes(bytes);
}

} // namespace

WireFormat wireFormat(const ColumnInfo& c, const Recorded& recorded) {
    WireFormat f;
    // Recorded servers send an expression as a nullable N type with status 0x30.
    const bool expression = c.expression && recorded.nullableExpressions;
    const bool n = c.nullable || expression;
    f.status = std::uint8_t((n ? kStatusNullable : 0) | (c.identity ? kStatusIdentity : 0) |
                            (expression ? kStatusUpdatable : 0));
    // Recorded servers keep the base type's user type for a nullable column (bigint NULL:
    // INTN with 43); `nullUser` is the N type's own number in systypes.
    const bool baseUser = recorded.baseUserTypes;
    auto fixed = [&](std::uint8_t notNull, std::uint8_t nullType, std::uint8_t size,
                     std::uint32_t user, std::uint32_t nullUser) {
        f.type = n ? nullType : notNull;
        f.userType = n && !baseUser ? nullUser : user;
        if (n)
            f.info = std::string(1, char(size));
    };
    auto length8 = [&](std::uint8_t type, std::uint32_t user) {
        f.type = type;
        f.userType = user;
        f.info = std::string(1, char(c.length));
    };
    auto length32 = [&](std::uint8_t type, std::uint32_t user, std::uint32_t size) {
        f.type = type;
        f.userType = user;
        ByteWriter w;
        w.u32(size);
        f.info = w.data();
    };
    switch (c.type) {
    case AseType::Int:
        return fixed(INT4, INTN, 4, 7, 13), f;
    case AseType::SmallInt:
        return fixed(INT2, INTN, 2, 6, 13), f;
    case AseType::TinyInt:
        return fixed(INT1, INTN, 1, 5, 13), f;
    case AseType::BigInt:
        return fixed(INT8, INTN, 8, 43, 13), f;
    case AseType::Money:
        return fixed(MONEY, MONEYN, 8, 11, 17), f;
    case AseType::SmallMoney:
        return fixed(SMALLMONEY, MONEYN, 4, 21, 17), f;
    case AseType::Float:
        return fixed(FLT8, FLTN, 8, 8, 14), f;
    case AseType::Real:
        return fixed(REAL, FLTN, 4, 23, 14), f;
    case AseType::DateTime:
        return fixed(DATETIME, DATETIMN, 8, 12, 15), f;
    case AseType::SmallDateTime:
        return fixed(DATETIME4, DATETIMN, 4, 22, 15), f;
    case AseType::Date:
        return fixed(DATE, DATEN, 4, 37, 39), f;
    case AseType::Time:
        return fixed(TIME, TIMEN, 4, 38, 40), f;
    case AseType::Bit:
        return fixed(BIT, BITN, 1, 16, 16), f;
    case AseType::BigDateTime:
        f.type = BIGDATETIME;
        f.userType = 187;
        f.info = std::string("\x08\x06", 2);
        return f;
    case AseType::Numeric:
    case AseType::Decimal: {
        const int p = c.precision >= 1 && c.precision <= 38 ? c.precision : 18;
        f.type = c.type == AseType::Numeric ? NUMN : DECN;
        f.userType =
            c.type == AseType::Numeric ? (n && !baseUser ? 28 : 10) : (n && !baseUser ? 27 : 26);
        f.info = {char(kNumericBytes[p]), char(p), char(c.scale)};
        return f;
    }
    case AseType::Char:
        return c.length > 255 ? length32(LONGCHAR, 1, std::uint32_t(c.length)) : length8(CHAR, 1),
               f;
    case AseType::VarChar:
        return c.length > 255 ? length32(LONGCHAR, 2, std::uint32_t(c.length))
                              : length8(VARCHAR, 2),
               f;
    case AseType::UniChar:
        return length32(LONGBINARY, 34, std::uint32_t(c.length) * 2), f;
    case AseType::UniVarChar:
        return length32(LONGBINARY, 35, std::uint32_t(c.length) * 2), f;
    case AseType::Binary:
        return c.length > 255 ? length32(LONGBINARY, 3, std::uint32_t(c.length))
                              : length8(BINARY, 3),
               f;
    case AseType::VarBinary:
        return c.length > 255 ? length32(LONGBINARY, 4, std::uint32_t(c.length))
                              : length8(VARBINARY, 4),
               f;
    case AseType::Timestamp:
        f.type = VARBINARY;
        f.userType = 80;
        f.status |= kStatusNullable;
        f.info = std::string(1, char(8));
        return f;
    case AseType::Text:
    case AseType::Image: {
        length32(c.type == AseType::Text ? TEXT : IMAGE, c.type == AseType::Text ? 19 : 20,
                 0x7FFFFFFF);
        ByteWriter w;
        w.u16(std::uint16_t(c.table.size()));
        w.bytes(c.table);
        f.info += w.data();
        return f;
    }
    case AseType::UniText:
        // Without the table name that text and image carry: FreeTDS reads none for it.
        return length32(UNITEXT, 36, 0x7FFFFFFF), f;
    }
    return f;
}

void putValue(ByteWriter& out, const ColumnInfo& c, const WireFormat& f, const Value& v,
              Charset charset) {
    const bool variable = !f.info.empty();
    if (v.null) {
        if (!(f.status & kStatusNullable))
            throw WireError("Column '" + c.name + "' does not allow NULL values.");
        if (f.type == LONGCHAR || f.type == LONGBINARY)
            out.u32(0);
        else
            out.u8(0); // length 0, or a text pointer of length 0
        return;
    }
    auto fixedLength = [&](std::uint8_t size) {
        if (variable)
            out.u8(size);
    };
    switch (c.type) {
    case AseType::Int:
        fixedLength(4), out.u32(std::uint32_t(v.integer));
        return;
    case AseType::SmallInt:
        fixedLength(2), out.u16(std::uint16_t(v.integer));
        return;
    case AseType::TinyInt:
        fixedLength(1), out.u8(std::uint8_t(v.integer));
        return;
    case AseType::BigInt:
        fixedLength(8), out.u64(std::uint64_t(v.integer));
        return;
    case AseType::Bit:
        fixedLength(1), out.u8(v.integer != 0);
        return;
    case AseType::Float: {
        fixedLength(8);
        std::uint64_t bits;
        std::memcpy(&bits, &v.real, 8);
        out.u64(bits);
        return;
    }
    case AseType::Real: {
        fixedLength(4);
        const float r = float(v.real);
        std::uint32_t bits;
        std::memcpy(&bits, &r, 4);
        out.u32(bits);
        return;
    }
    case AseType::Money:
    case AseType::SmallMoney: {
        bool negative = false;
        unsigned __int128 magnitude = 0;
        parseDecimal(c, v.text, 4, negative, magnitude);
        const std::int64_t units = negative ? -std::int64_t(magnitude) : std::int64_t(magnitude);
        if (c.type == AseType::SmallMoney) {
            fixedLength(4);
            out.u32(std::uint32_t(units));
        } else {
            fixedLength(8);
            out.u32(std::uint32_t(std::uint64_t(units) >> 32));
            out.u32(std::uint32_t(units));
        }
        return;
    }
    case AseType::Numeric:
    case AseType::Decimal: {
        bool negative = false;
        unsigned __int128 magnitude = 0;
        parseDecimal(c, v.text, c.scale, negative, magnitude);
        const std::size_t size = std::uint8_t(f.info[0]);
        std::string bytes(size, '\0');
        bytes[0] = negative && magnitude != 0 ? 1 : 0;
        for (std::size_t i = size - 1; i >= 1; --i, magnitude >>= 8)
            bytes[i] = char(std::uint8_t(magnitude & 0xFF));
        if (magnitude != 0)
            bad(c, v.text);
        out.u8(std::uint8_t(size));
        out.bytes(bytes);
        return;
    }
    case AseType::DateTime: {
        const Moment m = parseMoment(c, v.text, false);
        fixedLength(8);
        out.u32(std::uint32_t(m.days));
        out.u32(ticks(m));
        return;
    }
    case AseType::SmallDateTime: {
        const Moment m = parseMoment(c, v.text, false);
        fixedLength(4);
        out.u16(std::uint16_t(m.days));
        out.u16(std::uint16_t(m.micros / 60000000));
        return;
    }
    case AseType::Date:
        fixedLength(4), out.u32(std::uint32_t(parseMoment(c, v.text, false).days));
        return;
    case AseType::Time:
        fixedLength(4), out.u32(ticks(parseMoment(c, v.text, true)));
        return;
    case AseType::BigDateTime: {
        const Moment m = parseMoment(c, v.text, false);
        out.u8(8);
        out.u64(std::uint64_t((m.days + 693961) * 86400000000LL + m.micros));
        return;
    }
    case AseType::Char:
    case AseType::VarChar: {
        const std::string bytes = padBlank(toClient(v.text, charset));
        if (f.type == LONGCHAR) {
            if (bytes.size() > std::size_t(c.length))
                bad(c, v.text);
            out.u32(std::uint32_t(bytes.size()));
            out.bytes(bytes);
        } else {
            putLengthPrefixed8(out, c, bytes, std::size_t(c.length));
        }
        return;
    }
    case AseType::UniChar:
    case AseType::UniVarChar: {
        const std::string bytes = utf16le(v.text.empty() ? std::string(" ") : v.text);
        if (bytes.size() > std::size_t(c.length) * 2)
            bad(c, v.text);
        out.u32(std::uint32_t(bytes.size()));
        out.bytes(bytes);
        return;
    }
    case AseType::Binary:
    case AseType::VarBinary:
    case AseType::Timestamp: {
        const std::string bytes = v.text.empty() ? std::string(1, '\0') : v.text;
        if (f.type == LONGBINARY) {
            if (bytes.size() > std::size_t(c.length))
                bad(c, v.text);
            out.u32(std::uint32_t(bytes.size()));
            out.bytes(bytes);
        } else {
            putLengthPrefixed8(out, c, bytes,
                               c.type == AseType::Timestamp ? 8 : std::size_t(c.length));
        }
        return;
    }
    case AseType::Text:
    case AseType::Image:
    case AseType::UniText: {
        const std::string bytes = c.type == AseType::Text      ? toClient(v.text, charset)
                                  : c.type == AseType::UniText ? utf16le(v.text)
                                                               : v.text;
        out.u8(16);
        out.bytes(std::string(16, '\x01')); // text pointer
        out.bytes(std::string(8, '\0'));    // text timestamp
        out.u32(std::uint32_t(bytes.size()));
        out.bytes(bytes);
        return;
    }
    }
}

} // namespace tds
