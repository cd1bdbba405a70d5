#include "sample/server/requests.h"

#include "sample/server/bytes.h"

namespace tds {
namespace {

constexpr std::uint8_t kLanguage = 0x21, kLogout = 0x71, kDbRpc = 0xE6, kParamFormat = 0xEC,
                       kParams = 0xD7;
// Data types a parameter format may name, with how their values are read.
constexpr std::uint8_t kVarChar = 0x27, kChar = 0x2F, kLongChar = 0xAF, kIntN = 0x26, kInt1 = 0x30,
                       kInt2 = 0x34, kInt4 = 0x38;

Request malformed(std::string problem) {
    Request r;
    r.problem = std::move(problem);
    return r;
}

struct ParameterFormat {
    std::string name;
    std::uint8_t type = 0;
};

// TDS_PARAMFMT: count, then per parameter its name, status, user type, type, type
// info and locale.
bool readParameterFormats(ByteReader& in, std::vector<ParameterFormat>& formats, Charset charset) {
    ByteReader body(in.bytes(in.u16()));
    const unsigned count = body.u16();
    for (unsigned i = 0; i < count && !body.failed(); ++i) {
        ParameterFormat f;
        f.name = fromClient(body.bytes(body.u8()), charset);
        body.u8();  // status
        body.u32(); // user type
        f.type = body.u8();
        switch (f.type) {
        case kVarChar:
        case kChar:
        case kIntN:
            body.u8();
            break;
        case kLongChar:
            body.u32();
            break;
        case kInt1:
        case kInt2:
        case kInt4:
            break;
        default:
            return false;
        }
        body.bytes(body.u8()); // locale
        formats.push_back(f);
    }
    return !body.failed() && !in.failed() && body.remaining() == 0;
}

bool readParameterValue(ByteReader& in, const ParameterFormat& f, RpcParameter& p,
                        Charset charset) {
    auto integer = [&](std::uint32_t size) {
        std::int64_t v = 0;
        if (size == 1)
            v = in.u8();
        else if (size == 2)
            v = std::int16_t(in.u16());
        else if (size == 4)
            v = std::int32_t(in.u32());
        else
            return false;
        p.value = std::to_string(v);
        return true;
    };
    switch (f.type) {
    case kVarChar:
    case kChar: {
        const std::uint8_t n = in.u8();
        p.null = n == 0;
        p.value = fromClient(in.bytes(n), charset);
        return true;
    }
    case kLongChar: {
        const std::uint32_t n = in.u32();
        p.null = n == 0;
        p.value = fromClient(in.bytes(n), charset);
        return true;
    }
    case kIntN: {
        const std::uint8_t n = in.u8();
        p.null = n == 0;
        return p.null || integer(n);
    }
    case kInt1:
        return integer(1);
    case kInt2:
        return integer(2);
    case kInt4:
        return integer(4);
    }
    return false;
}

Request decodeRpc(ByteReader& in, Charset charset) {
    Request r;
    r.kind = Request::Kind::Rpc;
    ByteReader head(in.bytes(in.u16()));
    r.text = fromClient(head.bytes(head.u8()), charset);
    head.u16(); // options
    if (head.failed() || in.failed() || r.text.empty())
        return malformed("The procedure call could not be read.");
    std::vector<ParameterFormat> formats;
    while (in.remaining() > 0) {
        const std::uint8_t token = in.u8();
        if (token == kParamFormat) {
            formats.clear();
            if (!readParameterFormats(in, formats, charset))
                return malformed("The parameter formats could not be read.");
        } else if (token == kParams) {
            for (const ParameterFormat& f : formats) {
                RpcParameter p;
                p.name = f.name;
                if (!readParameterValue(in, f, p, charset) || in.failed())
                    return malformed("The parameter values could not be read.");
                r.parameters.push_back(std::move(p));
            }
        } else {
            return malformed("The procedure call holds an unexpected token.");
        }
    }
    return r;
}

} // namespace

Request decodeRequest(std::uint8_t type, std::string_view message, Charset charset) {
    Request r;
    if (type == kAttentionPacket) {
        r.kind = Request::Kind::Attention;
        return r;
    }
    if (type == kQueryPacket) {
        r.kind = Request::Kind::Language;
        r.text = fromClient(message, charset);
        return r;
    }
    if (type != kNormalPacket)
        return malformed("The message is of an unexpected packet type.");
    ByteReader in(message);
    const std::uint8_t token = in.u8();
    if (in.failed())
        return malformed("The message is empty.");
    switch (token) {
    case kLanguage: {
        const std::uint32_t length = in.u32();
        in.u8(); // status: parameters follow (never sent for these requests)
        if (in.failed() || length < 1 || length - 1 > in.remaining())
            return malformed("The language request could not be read.");
        r.kind = Request::Kind::Language;
        r.text = fromClient(in.bytes(length - 1), charset);
        return r;
    }
    case kLogout:
        r.kind = Request::Kind::Logout;
        return r;
    case kDbRpc:
        return decodeRpc(in, charset);
    }
    return malformed("The message starts with an unexpected token.");
}

} // namespace tds
