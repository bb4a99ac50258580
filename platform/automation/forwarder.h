// An object that passes every late-bound call on to another object and tells
// a watcher about it first: for seeing what a host asks of a component (in
// tests, benchmarks or when tracing) without changing what the host gets.
// Objects the component hands out are passed on as they are, unwatched.
#pragma once

#include <functional>
#include <utility>

#include "platform/automation/object.h"

namespace platform::automation {

class Forwarder final : public Object {
public:
    using Watcher = std::function<void(DispId id, CallKind kind, const Args& args)>;

    Forwarder(Ref<Object> target, Watcher watcher)
        : target_(std::move(target)), watcher_(std::move(watcher)) {}

    Variant invoke(DispId id, CallKind kind, const Args& args) override {
        if (watcher_) watcher_(id, kind, args);
        return target_->invoke(id, kind, args);
    }
    DispId dispId(std::string_view name) const override { return target_->dispId(name); }
    const DispatchMap& dispatchMap() const override { return target_->dispatchMap(); }
    EventSource* events() noexcept override { return target_->events(); }

private:
    Ref<Object> target_;
    Watcher watcher_;
};

}  // namespace platform::automation
