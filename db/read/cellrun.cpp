#include "db/read/cellrun.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <sys/mman.h>
#include <unistd.h>
#include <utility>

namespace db {
namespace {

// From this size a run has pages of its own.
constexpr std::size_t kMappedBytes = std::size_t(64) << 10;

std::size_t wholePages(std::size_t bytes) {
    static const auto page = std::size_t(sysconf(_SC_PAGESIZE));
    return (bytes + page - 1) / page * page;
}

} // namespace

CellRun::~CellRun() {
    release();
}

CellRun::CellRun(CellRun&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)), mapped_(std::exchange(other.mapped_, false)) {}

CellRun& CellRun::operator=(CellRun&& other) noexcept {
    if (this != &other) {
        release();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        capacity_ = std::exchange(other.capacity_, 0);
        mapped_ = std::exchange(other.mapped_, false);
    }
    return *this;
}

void CellRun::release() {
    if (mapped_)
        munmap(data_, capacity_);
    else
        std::free(data_);
    data_ = nullptr;
    size_ = capacity_ = 0;
    mapped_ = false;
}

void CellRun::reserve(std::size_t capacity) {
    if (capacity <= capacity_)
        return;
    if (capacity >= kMappedBytes) {
        const std::size_t length = wholePages(capacity);
        void* grown = MAP_FAILED;
        if (mapped_) {
            grown = mremap(data_, capacity_, length, MREMAP_MAYMOVE);
        } else {
            grown =
                mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (grown != MAP_FAILED) {
                if (size_ > 0)
                    std::memcpy(grown, data_, size_);
                std::free(data_);
            }
        }
        if (grown != MAP_FAILED) {
            data_ = static_cast<char*>(grown);
            capacity_ = length;
            mapped_ = true;
            return;
        }
        // No more mappings to be had (the system's count of them is bounded): the heap.
    }
    if (mapped_) {
        auto* moved = static_cast<char*>(std::malloc(capacity));
        if (!moved)
            throw std::bad_alloc();
        if (size_ > 0)
            std::memcpy(moved, data_, size_);
        munmap(data_, capacity_);
        data_ = moved;
        capacity_ = capacity;
        mapped_ = false;
        return;
    }
    void* grown = std::realloc(data_, capacity);
    if (!grown)
        throw std::bad_alloc();
    data_ = static_cast<char*>(grown);
    capacity_ = capacity;
}

void CellRun::trim() {
    if (size_ == 0) {
        release();
        return;
    }
    if (mapped_) {
        const std::size_t length = wholePages(size_);
        if (length < capacity_ && munmap(data_ + length, capacity_ - length) == 0)
            capacity_ = length;
        return;
    }
    // Shrinking keeps the bytes where they are; should it fail, the room simply stays.
    if (size_ < capacity_)
        if (void* trimmed = std::realloc(data_, size_)) {
            data_ = static_cast<char*>(trimmed);
            capacity_ = size_;
        }
}

void CellRun::append(std::string_view bytes) {
    if (size_ + bytes.size() > capacity_)
        reserve(std::max(size_ + bytes.size(), capacity_ * 2));
    if (!bytes.empty())
        std::memcpy(data_ + size_, bytes.data(), bytes.size());
    size_ += bytes.size();
}

void CellRun::replace(std::size_t at, std::size_t length, std::string_view bytes) {
    const std::size_t tail = size_ - at - length;
    if (bytes.size() > length)
        reserve(size_ - length + bytes.size());
    if (tail > 0)
        std::memmove(data_ + at + bytes.size(), data_ + at + length, tail);
    if (!bytes.empty())
        std::memcpy(data_ + at, bytes.data(), bytes.size());
    size_ = size_ - length + bytes.size();
}

} // namespace db
