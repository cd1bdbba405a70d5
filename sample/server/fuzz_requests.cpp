// libFuzzer target: bytes as a client could send them, through the framing, the login
// record parser, the encrypted password answer's reader and the request decoder. Nothing may crash,
// hang or read out of bounds.

#include "sample/server/login.h"
#include "sample/server/packets.h"
#include "sample/server/passwordexchange.h"
#include "sample/server/requests.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // The bytes split in two as a socket may deliver them.
    const std::size_t cut = size == 0 ? 0 : data[0] % size;
    tds::MessageAssembler assembler;
    if (assembler.feed(bytes.substr(0, cut)) && assembler.feed(bytes.substr(cut))) {
        for (tds::WireMessage m; assembler.next(m);) {
            if (m.type == tds::kLoginPacket)
                (void)tds::parseLoginRecord(m.body);
            if (m.type == tds::kNormalPacket)
                (void)tds::parseEncryptedPasswords(m.body);
            (void)tds::decodeRequest(m.type, m.body, tds::Charset::Utf8);
            (void)tds::decodeRequest(m.type, m.body, tds::Charset::Iso1);
        }
    }
    // And the whole input as one message body of each kind.
    (void)tds::parseLoginRecord(bytes);
    (void)tds::parseEncryptedPasswords(bytes);
    for (const std::uint8_t type : {tds::kQueryPacket, tds::kNormalPacket, tds::kAttentionPacket})
        (void)tds::decodeRequest(type, bytes, tds::Charset::Utf8);
    return 0;
}
