// Variant: the value type of every late-bound call. It holds Empty, Null, a
// Boolean, a 16- or 32-bit integer, a double, 8-bit text, an object reference
// (Nothing is a null reference), a zero-based array, or the marker of an
// omitted optional argument. An array may be lazy: its elements are worked
// out one by one when read, so that a huge answer costs nothing until used.
// A by-reference Variant refers to a caller's Variant so that a member can
// write back into it; every reading accessor looks through the reference.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/automation/ref.h"

namespace platform::automation {

class Object;
class Variant;

// The elements of a lazy array. `at` is called with 0 <= index < size().
// An array may still be growing (a server's answer read page by page):
// size() counts the elements there so far, and readMore() adds the next
// ones, never changing those already there.
class LazyArray {
public:
    virtual ~LazyArray() = default;
    virtual std::size_t size() const = 0;
    virtual Variant at(std::size_t index) const = 0;
    virtual bool complete() const { return true; }
    virtual void readMore() const {}
};

class Variant {
public:
    enum class Kind { Empty, Null, Boolean, Int16, Int32, Double, String, Object, Array, Missing };
    using Array = std::vector<Variant>;

    Variant() noexcept;
    Variant(bool value) noexcept;
    Variant(std::int16_t value) noexcept;
    Variant(std::int32_t value) noexcept;
    Variant(double value) noexcept;
    Variant(std::string value) noexcept;
    Variant(std::string_view value);
    Variant(const char* value);
    Variant(Ref<Object> object) noexcept;
    template <typename T>
    requires(!std::is_same_v<T, Object>) Variant(const Ref<T>& object)
    noexcept : Variant(Ref<Object>(object)) {}
    Variant(std::nullptr_t) noexcept;  // Nothing
    // Any other pointer would silently become a Boolean.
    template <typename T>
    requires(!std::is_same_v<std::remove_cv_t<T>, char>) Variant(T*)
    = delete;
    Variant(Array items);
    static Variant null() noexcept;
    static Variant nothing() noexcept { return Variant(nullptr); }
    static Variant missing() noexcept;
    static Variant fromStrings(const std::vector<std::string>& items);
    // An array whose elements are read from `items` when asked for.
    static Variant lazyArray(std::shared_ptr<const LazyArray> items);
    // A reference to `target`, which must outlive every copy of the result.
    static Variant byRef(Variant& target) noexcept;

    Variant(const Variant&);
    Variant(Variant&&) noexcept;
    Variant& operator=(const Variant&);
    Variant& operator=(Variant&&) noexcept;
    ~Variant();

    // What the Variant holds, looking through a reference.
    Kind kind() const noexcept;
    bool isByRef() const noexcept;
    bool isEmpty() const noexcept { return kind() == Kind::Empty; }
    bool isNull() const noexcept { return kind() == Kind::Null; }
    bool isMissing() const noexcept { return kind() == Kind::Missing; }
    bool isBoolean() const noexcept { return kind() == Kind::Boolean; }
    bool isString() const noexcept { return kind() == Kind::String; }
    bool isArray() const noexcept { return kind() == Kind::Array; }
    bool isObject() const noexcept { return kind() == Kind::Object; }  // Nothing included
    bool isNothing() const noexcept;
    bool isNumeric() const noexcept;

    // The referred-to Variant (or this one).
    const Variant& deref() const noexcept;
    // Writes `value` where this Variant points: into the caller's Variant when
    // by reference, else into this one.
    void store(const Variant& value);

    // Conversions follow the classic automation rules: Empty is 0, "" or
    // False; True is -1; numbers round half to even; text converts when it
    // reads as a number (or "True"/"False" for Booleans); an object converts
    // through its default member. Null and impossible conversions raise Type
    // mismatch, values out of range raise Overflow.
    std::string toString() const;
    std::int32_t toInt32() const;
    std::int16_t toInt16() const;
    double toDouble() const;
    bool toBool() const;
    // Nothing gives a null Ref; a value that is not an object raises Object required.
    Ref<Object> toObject() const;
    // The elements of an array; raises Type mismatch for anything else. A
    // lazy array is built in full on the first call.
    const Array& array() const;
    // One element at a time, without building a lazy array; raise Type
    // mismatch for anything but an array, and arrayItem Subscript out of
    // range for an index past the end.
    std::size_t arraySize() const;
    Variant arrayItem(std::size_t index) const;
    // For an array still growing: whether every element is there, and
    // reading more of them (what the lazy source raises passes through).
    // Any other array is complete.
    bool arrayComplete() const;
    void arrayReadMore() const;
    std::vector<std::string> toStrings() const;

    // Direct access without conversion; only valid for the matching kind.
    const std::string& stringValue() const;
    Object* objectValue() const noexcept;

    // Same kind and value (objects by identity, arrays element by element).
    friend bool operator==(const Variant& a, const Variant& b);

    static const char* kindName(Kind kind) noexcept;

private:
    struct NullTag {
        bool operator==(const NullTag&) const = default;
    };
    struct MissingTag {
        bool operator==(const MissingTag&) const = default;
    };
    struct RefTag {
        Variant* target;
        bool operator==(const RefTag&) const = default;
    };
    class ArrayData;
    using ArrayPtr = std::shared_ptr<const ArrayData>;
    // Index order matches Kind, with the reference last.
    using Storage = std::variant<std::monostate, NullTag, bool, std::int16_t, std::int32_t, double,
                                 std::string, Ref<Object>, ArrayPtr, MissingTag, RefTag>;

    Storage value_;
};

// Round half to even, as the classic integer conversions do (2.5 -> 2, 3.5 -> 4).
double roundHalfEven(double value) noexcept;

}  // namespace platform::automation
