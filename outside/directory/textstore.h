// The bytes of every name and value of a directory in one block, grown and
// trimmed with realloc. A large block is moved and trimmed by the kernel's
// page tables, so neither growing nor the final trim holds a second copy of
// the text (a std::string's reserve and shrink_to_fit both copy while the
// original is alive, which made loading peak far above what it keeps).
// The text of a directory read from a snapshot is a view of the mapped file
// instead, which the store neither grows nor frees.
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
          capacity_(std::exchange(other.capacity_, 0)),
          view_(std::exchange(other.view_, false)) {}
    TextStore& operator=(TextStore&& other) noexcept {
        if (this != &other) {
            release();
            data_ = std::exchange(other.data_, nullptr);
            size_ = std::exchange(other.size_, 0);
            capacity_ = std::exchange(other.capacity_, 0);
            view_ = std::exchange(other.view_, false);
        }
        return *this;
    }
    TextStore(const TextStore&) = delete;
    TextStore& operator=(const TextStore&) = delete;
    ~TextStore() { release(); }

    const char* data() const noexcept { return data_; }
    std::size_t size() const noexcept { return size_; }
    std::size_t capacity() const noexcept { return capacity_; }
    // What the store holds: the room it allocated, or the text it views.
    std::size_t memoryUsage() const noexcept { return view_ ? size_ : capacity_; }

    void reserve(std::size_t bytes) {
        if (bytes > capacity_) resize(bytes);
    }
    void append(std::string_view text) {
        if (text.empty()) return;
        if (view_ || text.size() > capacity_ - size_)
            resize(std::max({capacity_ * 2, size_ + text.size(), std::size_t(4096)}));
        std::memcpy(data_ + size_, text.data(), text.size());
        size_ += text.size();
    }
    // Gives back what was reserved beyond the text; a trim the allocator
    // cannot make leaves the block as it was.
    void shrinkToFit() noexcept {
        if (view_ || size_ == capacity_) return;
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

    // Text that lies elsewhere for the store's whole life.
    static TextStore view(const char* data, std::size_t size) noexcept {
        TextStore store;
        store.data_ = const_cast<char*>(data);  // never written through: the store is sealed
        store.size_ = size;
        store.view_ = true;
        return store;
    }
    void release() noexcept {
        if (!view_) std::free(data_);
        data_ = nullptr;
        view_ = false;
    }

    void resize(std::size_t bytes) {
        if (view_) throw std::bad_alloc();  // a view is complete as it is
        void* grown = std::realloc(data_, bytes);
        if (!grown) throw std::bad_alloc();
        data_ = static_cast<char*>(grown);
        capacity_ = bytes;
    }

    char* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
    bool view_ = false;
};

}  // namespace outside::directory
