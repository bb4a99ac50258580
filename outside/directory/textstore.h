// The bytes of every name and value of a directory in one block, grown and
// trimmed with realloc. A large block is moved and trimmed by the kernel's
// page tables, so neither growing nor the final trim holds a second copy of
// the text (a std::string's reserve and shrink_to_fit both copy while the
// original is alive, which made loading peak far above what it keeps).
#pragma once

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>
#include <utility>

namespace outside::directory {

class DirectorySnapshot;

class TextStore {
public:
    TextStore() = default;
    TextStore(TextStore&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)),
          size_(std::exchange(other.size_, 0)),
          capacity_(std::exchange(other.capacity_, 0)) {}
    TextStore& operator=(TextStore&& other) noexcept {
        if (this != &other) {
            std::free(data_);
            data_ = std::exchange(other.data_, nullptr);
            size_ = std::exchange(other.size_, 0);
            capacity_ = std::exchange(other.capacity_, 0);
        }
        return *this;
    }
    TextStore(const TextStore&) = delete;
    TextStore& operator=(const TextStore&) = delete;
    ~TextStore() { std::free(data_); }

    const char* data() const noexcept { return data_; }
    std::size_t size() const noexcept { return size_; }
    std::size_t capacity() const noexcept { return capacity_; }

    void reserve(std::size_t bytes) {
        if (bytes > capacity_) resize(bytes);
    }
    void append(std::string_view text) {
        if (text.empty()) return;
        if (text.size() > capacity_ - size_)
            resize(std::max({capacity_ * 2, size_ + text.size(), std::size_t(4096)}));
        std::memcpy(data_ + size_, text.data(), text.size());
        size_ += text.size();
    }
    // Gives back what was reserved beyond the text; a trim the allocator
    // cannot make leaves the block as it was.
    void shrinkToFit() noexcept {
        if (size_ == capacity_) return;
        if (size_ == 0) {
            std::free(std::exchange(data_, nullptr));
            capacity_ = 0;
            return;
        }
        if (void* trimmed = std::realloc(data_, size_)) {
            data_ = static_cast<char*>(trimmed);
            capacity_ = size_;
        }
    }

private:
    friend class DirectorySnapshot;  // reads a snapshot's text straight into the block

    void resize(std::size_t bytes) {
        void* grown = std::realloc(data_, bytes);
        if (!grown) throw std::bad_alloc();
        data_ = static_cast<char*>(grown);
        capacity_ = bytes;
    }

    char* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

}  // namespace outside::directory
