#include "sample/server/packets.h"

namespace tds {

bool MessageAssembler::feed(std::string_view bytes) {
    input_.append(bytes);
    for (;;) {
        const std::string_view rest = std::string_view(input_).substr(consumed_);
        if (rest.size() < kHeaderSize)
            break;
        const std::size_t size = std::size_t(std::uint8_t(rest[2])) << 8 | std::uint8_t(rest[3]);
        if (size < kHeaderSize)
            return false;
        if (rest.size() < size)
            break;
        const auto type = std::uint8_t(rest[0]);
        if (partial_.empty())
            type_ = type;
        if (partial_.size() + size - kHeaderSize > kMaxMessage)
            return false;
        partial_.append(rest.substr(kHeaderSize, size - kHeaderSize));
        consumed_ += size;
        if (rest[1] & 1) {
            ready_.push_back({type_, std::move(partial_)});
            partial_.clear();
        }
    }
    if (consumed_ > 0) {
        input_.erase(0, consumed_);
        consumed_ = 0;
    }
    return true;
}

bool MessageAssembler::next(WireMessage& message) {
    if (ready_.empty())
        return false;
    message = std::move(ready_.front());
    ready_.erase(ready_.begin());
    return true;
}

void appendPackets(std::string& out, std::uint8_t type, std::string_view body,
                   std::size_t packetSize, bool last) {
    const std::size_t room = packetSize - kHeaderSize;
    std::size_t at = 0;
    do {
        const std::size_t n = body.size() - at < room ? body.size() - at : room;
        const bool final = last && at + n == body.size();
        const std::size_t size = n + kHeaderSize;
        const char header[kHeaderSize] = {
            char(type), char(final ? 1 : 0), char(size >> 8), char(size & 0xFF), 0, 0, 0, 0};
        out.append(header, kHeaderSize);
        out.append(body.substr(at, n));
        at += n;
    } while (at < body.size());
}

} // namespace tds
