// Ref<T>: an owning reference to a reference-counted automation object. The
// count lives in the object itself, so an object can hand out references to
// itself and a reference survives passing through plain pointers (class
// factories, C entry points) without a second control block.
#pragma once

#include <cstddef>
#include <type_traits>
#include <utility>

namespace platform::automation {

class Object;

namespace detail {
void addRef(const Object* object) noexcept;
void release(const Object* object) noexcept;
}  // namespace detail

template <typename T>
class Ref {
public:
    Ref() noexcept = default;
    Ref(std::nullptr_t) noexcept {}
    // Takes a new reference to an object that may already be referenced elsewhere.
    explicit Ref(T* object) noexcept : p_(object) { acquire(); }
    Ref(const Ref& other) noexcept : p_(other.p_) { acquire(); }
    Ref(Ref&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    template <typename U>
    requires std::is_convertible_v<U*, T*> Ref(const Ref<U>& other)
    noexcept : p_(other.get()) { acquire(); }
    template <typename U>
    requires std::is_convertible_v<U*, T*> Ref(Ref<U>&& other)
    noexcept : p_(other.detach()) {}
    ~Ref() { drop(); }

    Ref& operator=(Ref other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }

    // Wraps a pointer whose reference the caller already owns (from a C entry point).
    static Ref adopt(T* object) noexcept {
        Ref r;
        r.p_ = object;
        return r;
    }
    // Gives up ownership without releasing; the caller now owns one reference.
    T* detach() noexcept { return std::exchange(p_, nullptr); }

    T* get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    T& operator*() const noexcept { return *p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    void reset() noexcept { Ref().swap(*this); }
    void swap(Ref& other) noexcept { std::swap(p_, other.p_); }

    template <typename U>
    friend bool operator==(const Ref& a, const Ref<U>& b) noexcept {
        return static_cast<const void*>(a.get()) == static_cast<const void*>(b.get());
    }
    friend bool operator==(const Ref& a, std::nullptr_t) noexcept { return a.p_ == nullptr; }

private:
    void acquire() noexcept {
        if (p_) detail::addRef(p_);
    }
    void drop() noexcept {
        if (p_) detail::release(std::exchange(p_, nullptr));
    }

    T* p_ = nullptr;
};

// Creates an object with its first reference.
template <typename T, typename... A>
Ref<T> make(A&&... args) {
    return Ref<T>(new T(std::forward<A>(args)...));
}

// A new reference to an object held by pointer or reference (e.g. `ref(this)`).
template <typename T>
Ref<T> ref(T* object) noexcept {
    return Ref<T>(object);
}

}  // namespace platform::automation
