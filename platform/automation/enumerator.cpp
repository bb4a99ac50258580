// Variant enumerators over shared arrays.
#include "platform/automation/enumerator.h"

#include <algorithm>

#include "platform/automation/error.h"

namespace platform::automation {

EnumVariant::EnumVariant(std::shared_ptr<const Variant::Array> items, std::size_t position,
                         Module* module)
    : Object(module), items_(std::move(items)), position_(position) {}

Ref<EnumVariant> EnumVariant::create(Variant::Array items, Module* module) {
    return Ref<EnumVariant>(
        new EnumVariant(std::make_shared<const Variant::Array>(std::move(items)), 0, module));
}

bool EnumVariant::next(std::size_t count, Variant::Array& out) {
    const std::size_t available = items_->size() - position_;
    const std::size_t n = std::min(count, available);
    const auto first = items_->begin() + static_cast<std::ptrdiff_t>(position_);
    out.insert(out.end(), first, first + static_cast<std::ptrdiff_t>(n));
    position_ += n;
    return n == count;
}

bool EnumVariant::skip(std::size_t count) {
    const std::size_t available = items_->size() - position_;
    const std::size_t n = std::min(count, available);
    position_ += n;
    return n == count;
}

Ref<EnumVariant> EnumVariant::clone() const {
    return Ref<EnumVariant>(new EnumVariant(items_, position_, module()));
}

Variant::Array enumerate(Object& collection) {
    const Variant result = collection.invoke(DispIdNewEnum, CallKind::Get, {});
    auto* enumerator = dynamic_cast<EnumVariant*>(result.objectValue());
    if (!enumerator)
        throw AutomationError::standard(error::TypeMismatch, "_NewEnum did not give an enumerator");
    Variant::Array items;
    enumerator->next(enumerator->size() - enumerator->position(), items);
    return items;
}

}  // namespace platform::automation
