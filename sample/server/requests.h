#pragma once

// What a client's message asks for. Decoding never reads outside the message and never
// throws: anything it cannot read is a Malformed request.

#include "sample/server/backend.h"
#include "sample/server/charset.h"

#include <string_view>

namespace tds {

// Packet types of the messages a client sends.
enum PacketType : std::uint8_t {
    kQueryPacket = 0x01, // text only: a statement with its parameters pasted in
    kLoginPacket = 0x02,
    kReplyPacket = 0x04,
    kAttentionPacket = 0x06,
    kNormalPacket = 0x0F, // tokens
};

struct Request {
    enum class Kind { Language, Rpc, Logout, Attention, Malformed };
    Kind kind = Kind::Malformed;
    std::string text;                     // Language: the batch; Rpc: the procedure
    std::vector<RpcParameter> parameters; // Rpc
    std::string problem;                  // Malformed: what could not be read
};

// Decodes one whole message (its packets' bodies joined) of packet type `type`.
Request decodeRequest(std::uint8_t type, std::string_view message, Charset charset);

} // namespace tds
