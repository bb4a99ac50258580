// Object: the base of every automation object. It carries the intrusive
// reference count, registers with its library's module while it lives, and
// answers late-bound calls by name or by DISPID through its dispatch map.
#pragma once

#include <atomic>
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/automation/module.h"
#include "platform/automation/ref.h"
#include "platform/automation/variant.h"

namespace platform::automation {

using DispId = std::int32_t;
inline constexpr DispId DispIdValue = 0;     // the default member
inline constexpr DispId DispIdNewEnum = -4;  // `_NewEnum`, the enumerator of a collection

// How a member is called. Get and Method are interchangeable the way late-bound
// callers use them (`x = obj.Item(2)`): each falls back to the other.
enum class CallKind { Get, Put, Method };

// Arguments in their natural order; a put passes the new value last.
using Args = std::vector<Variant>;

class DispatchMap;
class EventSource;

class Object {
public:
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    // The one entry every late-bound call goes through. The default
    // implementation dispatches through dispatchMap().
    virtual Variant invoke(DispId id, CallKind kind, const Args& args);

    // Late-bound calls by name; names compare without regard to case.
    Variant invoke(std::string_view name, const Args& args = {});
    Variant get(std::string_view name, const Args& args = {});
    void put(std::string_view name, const Variant& value);
    Variant call(std::string_view name, const Args& args = {});
    // The default member's value.
    Variant value();

    // DISPID of a member name; raises MemberNotFound when there is none.
    virtual DispId dispId(std::string_view name) const;
    bool hasMember(std::string_view name) const;

    virtual const DispatchMap& dispatchMap() const;
    // The connection points of an event source; null for objects without events.
    virtual EventSource* events() noexcept { return nullptr; }

    long refCount() const noexcept { return refs_.load(); }
    Module* module() const noexcept { return module_; }

protected:
    // The module defaults to the one of the library whose code constructs the
    // object (see module.h); pass one explicitly for objects built on behalf
    // of another library.
    explicit Object(Module* module = detail::currentModule()) noexcept;
    virtual ~Object();

private:
    friend void detail::addRef(const Object*) noexcept;
    friend void detail::release(const Object*) noexcept;

    mutable std::atomic<long> refs_{0};
    Module* module_;
};

}  // namespace platform::automation
