#pragma once

// Bytes one after another, in memory that grows and can be trimmed to them in place, so
// a block of rows read on one thread can be kept by a table without a copy and without
// room to spare. Large runs have pages of their own: trimming gives the pages beyond the
// bytes back to the system, leaving no hole in the heap. Internal to the layer.

#include <cstddef>
#include <string_view>

namespace db {

class CellRun {
  public:
    CellRun() = default;
    ~CellRun();
    CellRun(CellRun&& other) noexcept;
    CellRun& operator=(CellRun&& other) noexcept;
    CellRun(const CellRun&) = delete;
    CellRun& operator=(const CellRun&) = delete;

    char* data() { return data_; }
    const char* data() const { return data_; }
    std::size_t size() const { return size_; }
    // The room held, the bytes included.
    std::size_t capacity() const { return capacity_; }
    // Room for at least `capacity` bytes in all; the bytes stay. Throws std::bad_alloc.
    void reserve(std::size_t capacity);
    // Gives back the room beyond the bytes (large runs keep their last page whole).
    void trim();
    // Where more bytes go (room for them reserved first); `grow` counts those written.
    char* end() { return data_ + size_; }
    void grow(std::size_t written) { size_ += written; }
    void append(std::string_view bytes);
    // Replaces `length` bytes at `at` with `bytes`.
    void replace(std::size_t at, std::size_t length, std::string_view bytes);

  private:
    void release();

    char* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
    bool mapped_ = false; // pages of its own, else from the heap
};

} // namespace db
