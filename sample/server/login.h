#pragma once

// The login record a client sends (packet type 0x02) and the server's two answers to it.

#include "sample/server/backend.h"
#include "sample/server/bytes.h"
#include "sample/server/charset.h"
#include "sample/server/recorded.h"

#include <string>
#include <string_view>

namespace tds {

struct LoginRecord {
    bool complete = false; // the record was long enough to hold every fixed field
    std::string host, user, password, application, server;
    std::string remotePassword; // the password as the remote-password area carries it
    std::string protocol;       // four bytes: 5.0.0.0 for TDS 5.0
    std::uint8_t security = 0;  // the security byte (passwordexchange.h)
    int packetSize = 512;
    std::string capabilityRequest, capabilityResponse; // 14 bytes each, when sent
};

LoginRecord parseLoginRecord(std::string_view message);

struct LoginReplyInfo {
    std::string database; // the login's current database
    Charset charset = Charset::Utf8;
    int clientPacketSize = 512;
    int packetSize = 512; // what the server will use
    std::string serverName;
    Recorded recorded;
};

// ENVCHANGEs with their messages, LOGINACK, CAPABILITY and DONE: the login succeeded.
void putLoginAccepted(ByteWriter& out, const LoginRecord& login, const LoginReplyInfo& info);
// 4002 "Login failed." with a refusing LOGINACK and DONE.
void putLoginRefused(ByteWriter& out, const std::string& serverName, const Recorded& recorded);
// The same refusal for another reason: `reason` before the refusing LOGINACK.
void putLoginRefusedFor(ByteWriter& out, const Message& reason, const std::string& serverName,
                        const Recorded& recorded);
// 1640: the server takes no password in clear.
Message encryptionRequiredMessage();

} // namespace tds
