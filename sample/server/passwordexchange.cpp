#include "sample/server/passwordexchange.h"

#include "sample/server/tokens.h"

#include <vector>

namespace tds {
namespace {

constexpr std::uint8_t kMsgToken = 0x65, kParamFormat = 0xEC, kParams = 0xD7;
constexpr std::uint8_t kMsgHasParameters = 0x01;
constexpr std::uint8_t kInt4 = 0x38, kVarChar = 0x27, kLongBinary = 0xE1;
constexpr std::int32_t kCipherRsa = 1;

void putMsg(ByteWriter& out, std::uint16_t type) {
    out.u8(kMsgToken);
    out.u8(3); // length
    out.u8(kMsgHasParameters);
    out.u16(type);
}

// One parameter's format as PARAMFMT carries it: name, status, user type, type, its
// length field, locale. A long binary's length is the value's own: FreeTDS takes the
// key's and the nonce's sizes from the format, not from the values (sec_negotiate.c).
void putFormat(ByteWriter& body, std::uint8_t type, std::size_t length = 0) {
    body.u8(0); // no name
    body.u8(0); // status
    body.u32(0);
    body.u8(type);
    if (type == kLongBinary)
        body.u32(std::uint32_t(length));
    body.u8(0); // no locale
}

struct Parameter {
    std::uint8_t type = 0;
    std::string value;
};

// MSG, then PARAMFMT, then PARAMS; false when any of it cannot be read.
bool readMessage(ByteReader& in, std::uint16_t& type, std::vector<Parameter>& parameters) {
    if (in.u8() != kMsgToken)
        return false;
    const std::uint8_t length = in.u8();
    if (length < 3)
        return false;
    in.u8(); // status
    type = in.u16();
    in.bytes(length - 3u);
    if (in.u8() != kParamFormat)
        return false;
    const std::uint16_t formatLength = in.u16();
    ByteReader format(in.bytes(formatLength));
    const std::uint16_t count = format.u16();
    parameters.clear();
    for (std::uint16_t i = 0; i < count && !format.failed(); ++i) {
        Parameter p;
        format.bytes(format.u8()); // name
        format.u8();               // status
        format.u32();              // user type
        p.type = format.u8();
        if (p.type == kVarChar)
            format.u8();
        else if (p.type == kLongBinary)
            format.u32();
        else if (p.type != kInt4)
            return false;
        format.bytes(format.u8()); // locale
        parameters.push_back(std::move(p));
    }
    if (format.failed() || in.u8() != kParams)
        return false;
    for (Parameter& p : parameters) {
        const std::size_t size = p.type == kVarChar      ? in.u8()
                                 : p.type == kLongBinary ? in.u32()
                                                         : 4;
        p.value = std::string(in.bytes(size));
    }
    return !in.failed();
}

} // namespace

void putEncryptionOffer(ByteWriter& out, std::uint16_t message, std::string_view publicKeyPem,
                        std::string_view nonce) {
    putLoginAckStatus(out, 7);
    putMsg(out, message);
    const bool withNonce = !nonce.empty();
    ByteWriter format;
    format.u16(withNonce ? 3 : 2);
    putFormat(format, kInt4);
    putFormat(format, kLongBinary, publicKeyPem.size());
    if (withNonce)
        putFormat(format, kLongBinary, nonce.size());
    out.u8(kParamFormat);
    out.u16(std::uint16_t(format.size()));
    out.bytes(format.data());
    out.u8(kParams);
    out.u32(std::uint32_t(kCipherRsa));
    out.u32(std::uint32_t(publicKeyPem.size()));
    out.bytes(publicKeyPem);
    if (withNonce) {
        out.u32(std::uint32_t(nonce.size()));
        out.bytes(nonce);
    }
    putDone(out, DoneKind::Done, kDoneFinal, 0, kTransactionCompleted);
}

EncryptedPasswords parseEncryptedPasswords(std::string_view message) {
    EncryptedPasswords result;
    ByteReader in(message);
    std::uint16_t type = 0;
    std::vector<Parameter> parameters;
    if (!readMessage(in, type, parameters) || type != kMsgLogPassword3 || parameters.size() != 1 ||
        parameters[0].type != kLongBinary)
        return result;
    result.password = parameters[0].value;
    if (!readMessage(in, type, parameters) || type != kMsgRemotePassword3 ||
        parameters.size() != 2 || parameters[0].type != kVarChar ||
        parameters[1].type != kLongBinary)
        return result;
    result.remoteServer = parameters[0].value;
    result.remotePassword = parameters[1].value;
    result.complete = in.remaining() == 0;
    return result;
}

} // namespace tds
