#pragma once

// How many rows hold each hash of a row's values. Most hashes are held by one row: those
// sit in one flat array of hashes (about 11 bytes a row), and only hashes held by more
// rows (twins) are counted apart.

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace model {

class TwinCounts {
  public:
    // Hashes below this are never counted (they mark the array's empty and freed places).
    static constexpr std::uint64_t kFirstHash = 2;

    void reserve(std::size_t rows) {
        std::size_t size = 16;
        while (size * 3 < rows * 4)
            size *= 2;
        if (size > slots_.size())
            rehash(size);
    }
    // One more row holds `hash`; how many do now.
    int add(std::uint64_t hash) {
        if (const auto more = more_.find(hash); more != more_.end())
            return ++more->second;
        if (slots_[find(hash)] == hash)
            return more_[hash] = 2;
        if ((used_ + 1) * 4 > slots_.size() * 3)
            rehash(slots_.size() * 2);
        std::size_t at = place(hash);
        while (slots_[at] >= kFirstHash)
            at = (at + 1) & (slots_.size() - 1);
        used_ += slots_[at] == kEmpty;
        slots_[at] = hash;
        return 1;
    }
    // One row fewer holds `hash`; how many still do.
    int remove(std::uint64_t hash) {
        if (const auto more = more_.find(hash); more != more_.end()) {
            const int left = --more->second;
            if (left == 1)
                more_.erase(more);
            return left;
        }
        if (const std::size_t at = find(hash); slots_[at] == hash)
            slots_[at] = kFreed;
        return 0;
    }
    int count(std::uint64_t hash) const {
        if (const auto more = more_.find(hash); more != more_.end())
            return more->second;
        return slots_[find(hash)] == hash ? 1 : 0;
    }

  private:
    static constexpr std::uint64_t kEmpty = 0;
    static constexpr std::uint64_t kFreed = 1;

    std::size_t place(std::uint64_t hash) const {
        return std::size_t((hash * 0x9E3779B97F4A7C15ULL) >> 32) & (slots_.size() - 1);
    }
    // Where `hash` is, or the empty place that ends its run.
    std::size_t find(std::uint64_t hash) const {
        std::size_t at = place(hash);
        while (slots_[at] != kEmpty && slots_[at] != hash)
            at = (at + 1) & (slots_.size() - 1);
        return at;
    }
    void rehash(std::size_t size) {
        std::vector<std::uint64_t> old(size, kEmpty);
        old.swap(slots_);
        used_ = 0;
        for (const std::uint64_t hash : old)
            if (hash >= kFirstHash) {
                std::size_t at = place(hash);
                while (slots_[at] != kEmpty)
                    at = (at + 1) & (slots_.size() - 1);
                slots_[at] = hash;
                ++used_;
            }
    }

    std::vector<std::uint64_t> slots_ = std::vector<std::uint64_t>(16, kEmpty);
    std::size_t used_ = 0; // places not empty (freed ones included)
    std::unordered_map<std::uint64_t, int> more_;
};

} // namespace model
