// A read-only table of a built Directory: either a vector of its own or a
// view of elements that lie in a mapped snapshot, which the directory keeps
// mapped for as long as it lives. Readers see the same thing either way; a
// view costs no copy, so a large directory starts from its snapshot in the
// time it takes to check it.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <utility>
#include <vector>

namespace outside::directory {

template <class T>
class Column {
public:
    Column() = default;
    Column(std::vector<T>&& owned) noexcept  // NOLINT: a vector becomes a column as it is
        : owned_(std::move(owned)), data_(owned_.data()), size_(owned_.size()) {}
    Column(Column&& other) noexcept
        : owned_(std::move(other.owned_)),
          data_(std::exchange(other.data_, nullptr)),
          size_(std::exchange(other.size_, 0)) {}
    Column& operator=(Column&& other) noexcept {
        if (this != &other) {
            owned_ = std::move(other.owned_);
            data_ = std::exchange(other.data_, nullptr);
            size_ = std::exchange(other.size_, 0);
        }
        return *this;
    }
    Column& operator=(std::vector<T>&& owned) noexcept { return *this = Column(std::move(owned)); }
    Column(const Column&) = delete;
    Column& operator=(const Column&) = delete;

    // Elements held by someone else, who keeps them for the column's life.
    static Column view(const T* data, std::size_t size) noexcept {
        Column column;
        column.data_ = data;
        column.size_ = size;
        return column;
    }

    const T& operator[](std::size_t i) const noexcept { return data_[i]; }
    const T* data() const noexcept { return data_; }
    std::size_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }
    const T* begin() const noexcept { return data_; }
    const T* end() const noexcept { return data_ + size_; }
    const T& front() const noexcept { return data_[0]; }
    const T& back() const noexcept { return data_[size_ - 1]; }
    // What the column holds: the room it allocated, or the elements it views.
    std::size_t memoryUsage() const noexcept {
        return (owned_.capacity() > size_ ? owned_.capacity() : size_) * sizeof(T);
    }

private:
    std::vector<T> owned_;
    const T* data_ = nullptr;
    std::size_t size_ = 0;
};

// A file mapped read-only and private, unmapped when this goes.
class MappedFile {
public:
    MappedFile() = default;
    MappedFile(const void* address, std::size_t size) noexcept : address_(address), size_(size) {}
    MappedFile(MappedFile&& other) noexcept
        : address_(std::exchange(other.address_, nullptr)), size_(std::exchange(other.size_, 0)) {}
    MappedFile& operator=(MappedFile&& other) noexcept {
        if (this != &other) {
            release();
            address_ = std::exchange(other.address_, nullptr);
            size_ = std::exchange(other.size_, 0);
        }
        return *this;
    }
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    ~MappedFile() { release(); }

    const unsigned char* bytes() const noexcept {
        return static_cast<const unsigned char*>(address_);
    }
    std::size_t size() const noexcept { return size_; }

private:
    void release() noexcept {
        if (address_) ::munmap(const_cast<void*>(address_), size_);
        address_ = nullptr;
        size_ = 0;
    }
    const void* address_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace outside::directory
