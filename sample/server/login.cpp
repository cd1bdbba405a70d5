#include "sample/server/login.h"

#include "sample/server/tokens.h"

#include <charconv>

namespace tds {
namespace {

// Fixed fields: 30 bytes then their length; offsets in the login record.
constexpr std::size_t kHost = 0, kUser = 31, kPassword = 62, kApplication = 140, kServer = 171,
                      kRemotePassword = 202, kProtocol = 458, kSecurity = 514, kPacketSize = 557,
                      kPacketSizeBytes = 6, kRecordSize = 568;
constexpr std::uint8_t kCapabilityToken = 0xE2;

std::string field(std::string_view record, std::size_t offset, std::size_t size = 30) {
    const std::size_t length = std::uint8_t(record[offset + size]);
    return std::string(record.substr(offset, length < size ? length : size));
}

Message info(int number, std::string text) {
    Message m;
    m.number = number;
    m.severity = 10;
    m.sqlstate = "ZZZZZ";
    m.text = std::move(text);
    m.line = 0;
    return m;
}

// FreeTDS's own request when the record carries none (it asks for what it can do).
constexpr std::string_view
    kDefaultRequest("\x00\x00\x60\x08\x81\x81\xe8\x0f\x6d\x7f\xff\xff\xff\xfe", 14);
constexpr std::string_view
    kDefaultResponse("\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x68\x00\x00\x00", 14);

} // namespace

LoginRecord parseLoginRecord(std::string_view message) {
    LoginRecord r;
    if (message.size() < kRecordSize)
        return r;
    r.complete = true;
    r.host = field(message, kHost);
    r.user = field(message, kUser);
    r.password = field(message, kPassword);
    r.application = field(message, kApplication);
    r.server = field(message, kServer);
    r.remotePassword = std::string(
        message.substr(kRemotePassword + 2, std::uint8_t(message[kRemotePassword + 1])));
    r.protocol = std::string(message.substr(kProtocol, 4));
    r.security = std::uint8_t(message[kSecurity]);
    const std::string size = field(message, kPacketSize, kPacketSizeBytes);
    int value = 0;
    const auto [end, error] = std::from_chars(size.data(), size.data() + size.size(), value);
    if (error == std::errc() && end == size.data() + size.size() && value >= 512 && value < 65536)
        r.packetSize = value;
    // The capability token follows the record: e2, length 32, then request and response.
    const std::string_view rest = message.substr(kRecordSize);
    if (rest.size() >= 35 && std::uint8_t(rest[0]) == kCapabilityToken && rest[3] == 1 &&
        rest[4] == 14 && rest[19] == 2 && rest[20] == 14) {
        r.capabilityRequest = std::string(rest.substr(5, 14));
        r.capabilityResponse = std::string(rest.substr(21, 14));
    }
    return r;
}

void putLoginAccepted(ByteWriter& out, const LoginRecord& login, const LoginReplyInfo& i) {
    const char* charset = charsetName(i.charset);
    const Recorded& r = i.recorded;
    const std::uint16_t state = r.doneTransactionState ? kTransactionCompleted : 0;
    auto database = [&] {
        putEnvChange(out, 1, i.database, "");
        putMessage(out, info(5701, "Changed database context to '" + i.database + "'."),
                   i.serverName, i.charset, r.messageLineEnds);
    };
    auto language = [&] {
        putEnvChange(out, 2, "us_english", "");
        putMessage(out, info(5703, "Changed language setting to 'us_english'."), i.serverName,
                   i.charset, r.messageLineEnds);
    };
    auto characterSet = [&] {
        putEnvChange(out, 3, charset, "");
        putMessage(
            out,
            info(5704, std::string("Changed client character set setting to '") + charset + "'."),
            i.serverName, i.charset, r.messageLineEnds);
    };
    if (r.loginMessageOrder) {
        characterSet();
        database();
        language();
    } else {
        database();
        language();
        characterSet();
    }
    if (i.packetSize != i.clientPacketSize)
        putEnvChange(out, 4, std::to_string(i.packetSize), std::to_string(i.clientPacketSize));
    putLoginAck(out, true);
    // The client's own masks answered back: the server does what it was asked to.
    const bool sent = login.capabilityRequest.size() == 14;
    putCapability(out, sent ? login.capabilityRequest : kDefaultRequest,
                  sent ? login.capabilityResponse : kDefaultResponse);
    putDone(out, DoneKind::Done, kDoneFinal, 0, state);
}

namespace {

// A login refusal's message: severity 14, as Adaptive Server sends 4002 and 1640.
Message loginMessage(int number, const std::string& text) {
    Message m;
    m.number = number;
    m.severity = 14;
    m.sqlstate = "ZZZZZ";
    m.text = text;
    m.line = 0;
    return m;
}

} // namespace

void putLoginRefused(ByteWriter& out, const std::string& serverName, const Recorded& recorded) {
    putLoginRefusedFor(out, loginMessage(4002, "Login failed."), serverName, recorded);
}

void putLoginRefusedFor(ByteWriter& out, const Message& reason, const std::string& serverName,
                        const Recorded& recorded) {
    putMessage(out, reason, serverName, Charset::Utf8, recorded.messageLineEnds);
    putLoginAck(out, false);
    putDone(out, DoneKind::Done, kDoneFinal, 0,
            recorded.doneTransactionState ? kTransactionCompleted : 0);
}

Message encryptionRequiredMessage() {
    return loginMessage(
        1640, "Adaptive Server requires encryption of the login password on the network.");
}

} // namespace tds
