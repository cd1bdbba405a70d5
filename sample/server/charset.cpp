#include "sample/server/charset.h"

#include <cstdint>

namespace tds {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes the next code point of `s` at `i`, advancing `i`.
char32_t nextCodePoint(std::string_view s, std::size_t& i) {
    const auto lead = std::uint8_t(s[i++]);
    if (lead < 0x80)
        return lead;
    int extra = 0;
    char32_t cp = 0;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        cp = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        cp = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        cp = lead & 0x07;
    } else {
        return kReplacement;
    }
    for (int k = 0; k < extra; ++k) {
        if (i >= s.size() || (std::uint8_t(s[i]) & 0xC0) != 0x80)
            return kReplacement;
        cp = cp << 6 | (std::uint8_t(s[i++]) & 0x3F);
    }
    static constexpr char32_t smallest[] = {0, 0x80, 0x800, 0x10000};
    if (cp < smallest[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return kReplacement;
    return cp;
}

void putUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | cp >> 6);
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | cp >> 12);
        out += char(0x80 | (cp >> 6 & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | cp >> 18);
        out += char(0x80 | (cp >> 12 & 0x3F));
        out += char(0x80 | (cp >> 6 & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

void putUtf16(std::string& out, char32_t unit) {
    out += char(unit & 0xFF);
    out += char(unit >> 8 & 0xFF);
}

} // namespace

const char* charsetName(Charset charset) {
    return charset == Charset::Iso1 ? "iso_1" : "utf8";
}

bool parseCharset(std::string_view name, Charset& charset) {
    if (name == "utf8")
        charset = Charset::Utf8;
    else if (name == "iso_1")
        charset = Charset::Iso1;
    else
        return false;
    return true;
}

std::string fromClient(std::string_view bytes, Charset charset) {
    if (charset == Charset::Utf8)
        return std::string(bytes);
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes)
        putUtf8(out, std::uint8_t(c));
    return out;
}

std::string toClient(std::string_view utf8, Charset charset) {
    if (charset == Charset::Utf8)
        return std::string(utf8);
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const char32_t cp = nextCodePoint(utf8, i);
        out += cp <= 0xFF ? char(cp) : '?';
    }
    return out;
}

std::size_t serverLength(std::string_view utf8, Charset charset) {
    if (charset == Charset::Utf8)
        return utf8.size();
    std::size_t length = 0;
    for (std::size_t i = 0; i < utf8.size(); ++length)
        nextCodePoint(utf8, i);
    return length;
}

void cutToServerLength(std::string& utf8, std::size_t limit, Charset charset) {
    std::size_t end = 0;
    if (charset == Charset::Utf8) {
        if (utf8.size() <= limit)
            return;
        end = limit;
        while (end > 0 && (std::uint8_t(utf8[end]) & 0xC0) == 0x80)
            --end;
    } else {
        for (std::size_t length = 0; end < utf8.size() && length < limit; ++length)
            nextCodePoint(utf8, end);
    }
    utf8.resize(end);
}

std::string utf16le(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() * 2);
    for (std::size_t i = 0; i < utf8.size();) {
        const char32_t cp = nextCodePoint(utf8, i);
        if (cp < 0x10000) {
            putUtf16(out, cp);
        } else {
            putUtf16(out, 0xD800 + ((cp - 0x10000) >> 10));
            putUtf16(out, 0xDC00 + ((cp - 0x10000) & 0x3FF));
        }
    }
    return out;
}

} // namespace tds
