#pragma once

// The encrypted password exchange of a TDS 5.0 login, as Adaptive Server 15.0.2 and later
// offer it. A client that sets the ENCRYPT2 or ENCRYPT3 bit of the login record's security
// byte sends both password fields empty; the server answers LOGINACK with status 7
// ("negotiate"), a MSG token TDS5_MSG_SEC_ENCRYPT3 with its parameters (cipher suite 1 =
// RSA, the public key in PEM form, a nonce) and DONE. The client answers in a normal
// (0x0F) message: MSG LOGPWD3 with the password encrypted (RSA-OAEP with SHA-1 over the
// nonce followed by the password), then MSG REMPWD3 with a server name and the same
// encrypted password. Only then does the server send its ordinary login reply.
// Servers older than 15.0.2 offer only the earlier exchange (TDS5_MSG_SEC_ENCRYPT2).
// This file reads and writes those messages; the key's arithmetic is in rsakey.h.

#include "sample/server/bytes.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tds {

// The login record's security byte.
enum LoginSecurity : std::uint8_t {
    kSecurityEncrypt2 = 0x20,
    kSecurityEncrypt3 = 0x80,
};

// MSG token message types of the exchange.
enum SecurityMessage : std::uint16_t {
    kMsgEncrypt2 = 14, // the older exchange: cipher and key, no nonce
    kMsgEncrypt3 = 30,
    kMsgLogPassword3 = 31,
    kMsgRemotePassword3 = 32,
};

// LOGINACK 7, MSG `message`, the parameters (cipher suite 1, the key, and the nonce unless
// empty) and DONE.
void putEncryptionOffer(ByteWriter& out, std::uint16_t message, std::string_view publicKeyPem,
                        std::string_view nonce);

// The client's answer to an ENCRYPT3 offer. `complete` only when both messages were there
// and well formed.
struct EncryptedPasswords {
    bool complete = false;
    std::string password;       // the encrypted password (LOGPWD3)
    std::string remoteServer;   // REMPWD3's first parameter (empty: this server)
    std::string remotePassword; // REMPWD3's encrypted password
};

// Reads a whole client message body; never reads outside it, never throws.
EncryptedPasswords parseEncryptedPasswords(std::string_view message);

} // namespace tds
