#pragma once

// Framing: TDS messages cut into packets of an 8-byte header (type, status with bit 0 on
// the last packet, big-endian length including the header, four zero bytes) and a body.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tds {

inline constexpr std::size_t kHeaderSize = 8;
// The largest message the server takes; a longer one closes the connection.
inline constexpr std::size_t kMaxMessage = 16u << 20;

struct WireMessage {
    std::uint8_t type = 0;
    std::string body;
};

// Joins packets into messages from bytes as they arrive.
class MessageAssembler {
  public:
    // Takes bytes; whole messages become available through next(). False when the
    // stream is broken (a header that cannot be, a message too long): close then.
    bool feed(std::string_view bytes);
    bool next(WireMessage& message);

  private:
    std::string input_;
    std::size_t consumed_ = 0;
    std::uint8_t type_ = 0;
    std::string partial_;
    std::vector<WireMessage> ready_;
};

// Appends `body` as packets of at most `packetSize` bytes; `last` marks the last one.
void appendPackets(std::string& out, std::uint8_t type, std::string_view body,
                   std::size_t packetSize, bool last);

} // namespace tds
