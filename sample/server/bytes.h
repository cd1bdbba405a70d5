#pragma once

// Little-endian byte writing and bounds-checked reading, as TDS 5.0 tokens need them.

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace tds {

class ByteWriter {
  public:
    void u8(std::uint8_t v) { out_.push_back(char(v)); }
    void u16(std::uint16_t v) {
        u8(std::uint8_t(v));
        u8(std::uint8_t(v >> 8));
    }
    void u32(std::uint32_t v) {
        u16(std::uint16_t(v));
        u16(std::uint16_t(v >> 16));
    }
    void u64(std::uint64_t v) {
        u32(std::uint32_t(v));
        u32(std::uint32_t(v >> 32));
    }
    void bytes(std::string_view s) { out_.append(s); }
    // A string preceded by its length in one byte (cut at 255 bytes).
    void text8(std::string_view s) {
        const std::size_t n = s.size() < 255 ? s.size() : 255;
        u8(std::uint8_t(n));
        out_.append(s.substr(0, n));
    }
    std::string& data() { return out_; }
    std::size_t size() const { return out_.size(); }

  private:
    std::string out_;
};

// Reads fields from a buffer; every read past the end sets `failed` and yields zeros.
class ByteReader {
  public:
    explicit ByteReader(std::string_view data) : data_(data) {}

    bool failed() const { return failed_; }
    std::size_t remaining() const { return data_.size() - at_; }
    std::size_t position() const { return at_; }

    std::uint8_t u8() { return std::uint8_t(take(1)[0]); }
    std::uint16_t u16() {
        const std::string_view b = take(2);
        return std::uint16_t(std::uint8_t(b[0]) | std::uint8_t(b[1]) << 8);
    }
    std::uint32_t u32() {
        const std::uint32_t lo = u16();
        return lo | std::uint32_t(u16()) << 16;
    }
    std::string_view bytes(std::size_t n) {
        if (n > remaining()) {
            failed_ = true;
            at_ = data_.size();
            return {};
        }
        const std::string_view s = data_.substr(at_, n);
        at_ += n;
        return s;
    }

  private:
    std::string_view take(std::size_t n) {
        static constexpr char zeros[8] = {};
        const std::string_view s = bytes(n);
        return s.size() == n ? s : std::string_view(zeros, n);
    }

    std::string_view data_;
    std::size_t at_ = 0;
    bool failed_ = false;
};

} // namespace tds
