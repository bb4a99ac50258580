// The variant enumerator behind every collection's `_NewEnum`: a position over
// an array of Variants. Clones share the array and keep their own position.
// Next(n) hands out up to n items and succeeds only when it could hand out
// all n; Skip(n) moves on by n, or to the end, and succeeds only when it
// skipped all n.
#pragma once

#include <cstddef>
#include <memory>

#include "platform/automation/object.h"

namespace platform::automation {

class EnumVariant final : public Object {
public:
    // The module defaults to the library that asks for the enumerator, which
    // therefore stays loaded while the enumerator lives.
    static Ref<EnumVariant> create(Variant::Array items, Module* module = detail::currentModule());

    // Appends up to `count` items to `out`; true only when `count` were appended.
    bool next(std::size_t count, Variant::Array& out);
    bool skip(std::size_t count);
    void reset() { position_ = 0; }
    Ref<EnumVariant> clone() const;

    std::size_t position() const { return position_; }
    std::size_t size() const { return items_->size(); }

private:
    EnumVariant(std::shared_ptr<const Variant::Array> items, std::size_t position, Module* module);

    std::shared_ptr<const Variant::Array> items_;
    std::size_t position_;
};

// Every item of a collection, in order, through its `_NewEnum` member.
Variant::Array enumerate(Object& collection);

}  // namespace platform::automation
