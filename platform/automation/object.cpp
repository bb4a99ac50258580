// Reference counting, module accounting and the by-name call helpers of Object.
#include "platform/automation/object.h"

#include "platform/automation/dispatch.h"
#include "platform/automation/error.h"

namespace platform::automation {

namespace detail {

void addRef(const Object* object) noexcept {
    object->refs_.fetch_add(1, std::memory_order_relaxed);
}

void release(const Object* object) noexcept {
    if (object->refs_.fetch_sub(1, std::memory_order_acq_rel) == 1) delete object;
}

}  // namespace detail

Object::Object(Module* module) noexcept : module_(module) {
    if (module_) module_->objectCreated();
}

Object::~Object() {
    if (module_) module_->objectDestroyed();
}

const DispatchMap& Object::dispatchMap() const {
    return DispatchMap::empty();
}

Variant Object::invoke(DispId id, CallKind kind, const Args& args) {
    return dispatchMap().invoke(*this, id, kind, args);
}

DispId Object::dispId(std::string_view name) const {
    if (auto id = dispatchMap().dispId(name)) return *id;
    throw AutomationError::standard(error::MemberNotFound, std::string(name));
}

bool Object::hasMember(std::string_view name) const {
    try {
        dispId(name);
        return true;
    } catch (const AutomationError&) {
        return false;
    }
}

Variant Object::invoke(std::string_view name, const Args& args) {
    return invoke(dispId(name), CallKind::Method, args);
}

Variant Object::get(std::string_view name, const Args& args) {
    return invoke(dispId(name), CallKind::Get, args);
}

void Object::put(std::string_view name, const Variant& value) {
    invoke(dispId(name), CallKind::Put, Args{value});
}

Variant Object::call(std::string_view name, const Args& args) {
    return invoke(dispId(name), CallKind::Method, args);
}

Variant Object::value() {
    return invoke(DispIdValue, CallKind::Get, {});
}

}  // namespace platform::automation
