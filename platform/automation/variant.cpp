// Variant storage, copying and the classic conversion rules.
#include "platform/automation/variant.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <mutex>
#include <optional>

#include "platform/automation/error.h"
#include "platform/automation/object.h"

namespace platform::automation {

namespace {

[[noreturn]] void mismatch(Variant::Kind from, const char* to) {
    throw AutomationError::standard(error::TypeMismatch, std::string("cannot convert ") +
                                                             Variant::kindName(from) + " to " + to);
}

[[noreturn]] void overflow(const char* to) {
    throw AutomationError::standard(error::Overflow, std::string("value out of range for ") + to);
}

std::string_view trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (std::tolower(x) != std::tolower(y)) return false;
    }
    return true;
}

// Numeric text: optional sign, digits with an optional fraction and exponent,
// or "&H"/"&O" integers. Anything else (including "inf", "nan" and hex
// floats, which the C library would accept) is not a number.
std::optional<double> parseNumber(std::string_view text) {
    std::string_view s = trim(text);
    if (s.size() > 2 && s[0] == '&' && (s[1] == 'H' || s[1] == 'h' || s[1] == 'O' || s[1] == 'o')) {
        const int base = (s[1] == 'H' || s[1] == 'h') ? 16 : 8;
        std::uint32_t bits = 0;
        const auto [end, ec] = std::from_chars(s.data() + 2, s.data() + s.size(), bits, base);
        if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
        // Like the classic "&HFFFF" literals these are two's complement when they fit 16 bits.
        if (bits <= 0xFFFF) return static_cast<double>(static_cast<std::int16_t>(bits));
        return static_cast<double>(static_cast<std::int32_t>(bits));
    }
    bool negative = false;
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    std::size_t i = 0, digits = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
    }
    if (digits == 0) return std::nullopt;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
        const std::size_t expStart = j;
        while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) ++j;
        if (j == expStart) return std::nullopt;
        i = j;
    }
    if (i != s.size()) return std::nullopt;
    double value = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec == std::errc::result_out_of_range) return std::nullopt;
    if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return negative ? -value : value;
}

// An object stands for the value of its default member.
Variant defaultValue(const Variant& v) {
    Object* object = v.objectValue();
    if (!object) throw AutomationError::standard(error::ObjectNotSet);
    return object->value();
}

std::string formatDouble(double value) {
    if (value == 0) return "0";  // also for -0
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.15G", value);
    return buffer;
}

template <typename Int>
Int toInteger(double value, const char* name) {
    if (std::isnan(value)) overflow(name);
    const double rounded = roundHalfEven(value);
    if (rounded < static_cast<double>(std::numeric_limits<Int>::min()) ||
        rounded > static_cast<double>(std::numeric_limits<Int>::max()))
        overflow(name);
    return static_cast<Int>(rounded);
}

}  // namespace

double roundHalfEven(double value) noexcept {
    const double floor = std::floor(value);
    const double diff = value - floor;
    if (diff < 0.5) return floor;
    if (diff > 0.5) return floor + 1;
    return std::fmod(floor, 2.0) == 0 ? floor : floor + 1;
}

Variant::Variant() noexcept = default;
Variant::Variant(bool value) noexcept : value_(value) {}
Variant::Variant(std::int16_t value) noexcept : value_(value) {}
Variant::Variant(std::int32_t value) noexcept : value_(value) {}
Variant::Variant(double value) noexcept : value_(value) {}
Variant::Variant(std::string value) noexcept : value_(std::move(value)) {}
Variant::Variant(std::string_view value) : value_(std::string(value)) {}
Variant::Variant(const char* value) : value_(std::string(value ? value : "")) {}
Variant::Variant(Ref<Object> object) noexcept : value_(std::move(object)) {}
Variant::Variant(std::nullptr_t) noexcept : value_(Ref<Object>()) {}
// The elements of an array: held, or read from a lazy source and kept once
// every element is asked for at a time.
class Variant::ArrayData {
public:
    explicit ArrayData(Array items) : items_(std::move(items)), built_(true) {}
    explicit ArrayData(std::shared_ptr<const LazyArray> lazy) : lazy_(std::move(lazy)) {}

    std::size_t size() const { return lazy_ ? lazy_->size() : items_.size(); }
    Variant at(std::size_t index) const { return lazy_ ? lazy_->at(index) : items_[index]; }
    bool complete() const { return !lazy_ || lazy_->complete(); }
    void readMore() const {
        if (lazy_) lazy_->readMore();
    }
    const Array& all() const {
        // A held array never changes: no once to pass (passing one costs a
        // system call, and every value list of an entry is such an array).
        if (built_) return items_;
        std::call_once(once_, [this] {
            while (!lazy_->complete()) lazy_->readMore();
            const std::size_t n = lazy_->size();
            items_.reserve(n);
            for (std::size_t i = 0; i < n; ++i) items_.push_back(lazy_->at(i));
        });
        return items_;
    }

private:
    std::shared_ptr<const LazyArray> lazy_;
    mutable Array items_;
    bool built_ = false;
    mutable std::once_flag once_;
};

Variant::Variant(Array items) : value_(std::make_shared<const ArrayData>(std::move(items))) {}
Variant::Variant(const Variant&) = default;
Variant::Variant(Variant&&) noexcept = default;
Variant& Variant::operator=(const Variant&) = default;
Variant& Variant::operator=(Variant&&) noexcept = default;
Variant::~Variant() = default;

Variant Variant::null() noexcept {
    Variant v;
    v.value_ = NullTag{};
    return v;
}

Variant Variant::missing() noexcept {
    Variant v;
    v.value_ = MissingTag{};
    return v;
}

Variant Variant::fromStrings(const std::vector<std::string>& items) {
    Array array;
    array.reserve(items.size());
    for (const auto& item : items) array.emplace_back(item);
    return Variant(std::move(array));
}

Variant Variant::lazyArray(std::shared_ptr<const LazyArray> items) {
    Variant v;
    v.value_ = std::make_shared<const ArrayData>(std::move(items));
    return v;
}

Variant Variant::byRef(Variant& target) noexcept {
    Variant v;
    v.value_ = RefTag{const_cast<Variant*>(&target.deref())};
    return v;
}

const Variant& Variant::deref() const noexcept {
    const Variant* v = this;
    while (const auto* r = std::get_if<RefTag>(&v->value_)) v = r->target;
    return *v;
}

bool Variant::isByRef() const noexcept {
    return std::holds_alternative<RefTag>(value_);
}

Variant::Kind Variant::kind() const noexcept {
    return static_cast<Kind>(deref().value_.index());
}

bool Variant::isNothing() const noexcept {
    const auto* object = std::get_if<Ref<Object>>(&deref().value_);
    return object && !*object;
}

bool Variant::isNumeric() const noexcept {
    const Kind k = kind();
    return k == Kind::Int16 || k == Kind::Int32 || k == Kind::Double;
}

void Variant::store(const Variant& value) {
    Variant copy = value.deref();
    Variant& target = const_cast<Variant&>(deref());
    target = std::move(copy);
}

std::string Variant::toString() const {
    const Variant& v = deref();
    switch (v.kind()) {
        case Kind::Empty:
            return {};
        case Kind::Boolean:
            return std::get<bool>(v.value_) ? "True" : "False";
        case Kind::Int16:
            return std::to_string(std::get<std::int16_t>(v.value_));
        case Kind::Int32:
            return std::to_string(std::get<std::int32_t>(v.value_));
        case Kind::Double:
            return formatDouble(std::get<double>(v.value_));
        case Kind::String:
            return std::get<std::string>(v.value_);
        case Kind::Object:
            return defaultValue(v).toString();
        default:
            mismatch(v.kind(), "String");
    }
}

double Variant::toDouble() const {
    const Variant& v = deref();
    switch (v.kind()) {
        case Kind::Empty:
            return 0;
        case Kind::Boolean:
            return std::get<bool>(v.value_) ? -1 : 0;
        case Kind::Int16:
            return std::get<std::int16_t>(v.value_);
        case Kind::Int32:
            return std::get<std::int32_t>(v.value_);
        case Kind::Double:
            return std::get<double>(v.value_);
        case Kind::String:
            if (auto number = parseNumber(std::get<std::string>(v.value_))) return *number;
            mismatch(Kind::String, "Double");
        case Kind::Object:
            return defaultValue(v).toDouble();
        default:
            mismatch(v.kind(), "Double");
    }
}

std::int32_t Variant::toInt32() const {
    const Variant& v = deref();
    switch (v.kind()) {
        case Kind::Int16:
            return std::get<std::int16_t>(v.value_);
        case Kind::Int32:
            return std::get<std::int32_t>(v.value_);
        default:
            return toInteger<std::int32_t>(v.toDouble(), "Long");
    }
}

std::int16_t Variant::toInt16() const {
    const Variant& v = deref();
    if (v.kind() == Kind::Int16) return std::get<std::int16_t>(v.value_);
    return toInteger<std::int16_t>(
        v.kind() == Kind::Int32 ? std::get<std::int32_t>(v.value_) : v.toDouble(), "Integer");
}

bool Variant::toBool() const {
    const Variant& v = deref();
    switch (v.kind()) {
        case Kind::Empty:
            return false;
        case Kind::Boolean:
            return std::get<bool>(v.value_);
        case Kind::Int16:
            return std::get<std::int16_t>(v.value_) != 0;
        case Kind::Int32:
            return std::get<std::int32_t>(v.value_) != 0;
        case Kind::Double:
            return std::get<double>(v.value_) != 0;
        case Kind::String: {
            const std::string_view text = trim(std::get<std::string>(v.value_));
            if (equalsNoCase(text, "True")) return true;
            if (equalsNoCase(text, "False")) return false;
            if (auto number = parseNumber(text)) return *number != 0;
            mismatch(Kind::String, "Boolean");
        }
        case Kind::Object:
            return defaultValue(v).toBool();
        default:
            mismatch(v.kind(), "Boolean");
    }
}

Ref<Object> Variant::toObject() const {
    const Variant& v = deref();
    if (const auto* object = std::get_if<Ref<Object>>(&v.value_)) return *object;
    throw AutomationError::standard(error::ObjectRequired,
                                    std::string(kindName(v.kind())) + " is not an object");
}

const Variant::Array& Variant::array() const {
    const Variant& v = deref();
    if (const auto* items = std::get_if<ArrayPtr>(&v.value_)) return (*items)->all();
    mismatch(v.kind(), "Array");
}

std::size_t Variant::arraySize() const {
    const Variant& v = deref();
    if (const auto* items = std::get_if<ArrayPtr>(&v.value_)) return (*items)->size();
    mismatch(v.kind(), "Array");
}

bool Variant::arrayComplete() const {
    const Variant& v = deref();
    if (const auto* items = std::get_if<ArrayPtr>(&v.value_)) return (*items)->complete();
    mismatch(v.kind(), "Array");
}

void Variant::arrayReadMore() const {
    const Variant& v = deref();
    const auto* items = std::get_if<ArrayPtr>(&v.value_);
    if (!items) mismatch(v.kind(), "Array");
    (*items)->readMore();
}

Variant Variant::arrayItem(std::size_t index) const {
    const Variant& v = deref();
    const auto* items = std::get_if<ArrayPtr>(&v.value_);
    if (!items) mismatch(v.kind(), "Array");
    if (index >= (*items)->size())
        throw AutomationError::standard(error::BadIndex, "Subscript out of range");
    return (*items)->at(index);
}

std::vector<std::string> Variant::toStrings() const {
    std::vector<std::string> out;
    for (const auto& item : array()) out.push_back(item.toString());
    return out;
}

const std::string& Variant::stringValue() const {
    const Variant& v = deref();
    if (const auto* s = std::get_if<std::string>(&v.value_)) return *s;
    mismatch(v.kind(), "String");
}

Object* Variant::objectValue() const noexcept {
    const auto* object = std::get_if<Ref<Object>>(&deref().value_);
    return object ? object->get() : nullptr;
}

bool operator==(const Variant& a, const Variant& b) {
    const Variant& x = a.deref();
    const Variant& y = b.deref();
    if (x.value_.index() != y.value_.index()) return false;
    if (const auto* items = std::get_if<Variant::ArrayPtr>(&x.value_)) {
        const auto& other = *std::get<Variant::ArrayPtr>(y.value_);
        return (*items)->all() == other.all();
    }
    return x.value_ == y.value_;
}

const char* Variant::kindName(Kind kind) noexcept {
    switch (kind) {
        case Kind::Empty:
            return "Empty";
        case Kind::Null:
            return "Null";
        case Kind::Boolean:
            return "Boolean";
        case Kind::Int16:
            return "Integer";
        case Kind::Int32:
            return "Long";
        case Kind::Double:
            return "Double";
        case Kind::String:
            return "String";
        case Kind::Object:
            return "Object";
        case Kind::Array:
            return "Array";
        case Kind::Missing:
            return "Missing";
    }
    return "?";
}

}  // namespace platform::automation
