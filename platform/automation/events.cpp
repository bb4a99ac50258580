// Sink lists of event sources.
#include "platform/automation/events.h"

#include <strings.h>
#include <algorithm>

#include "platform/automation/dispatch.h"
#include "platform/automation/error.h"

namespace platform::automation {

EventSource::EventSource(std::vector<std::string> interfaces) : interfaces_(std::move(interfaces)) {
    if (interfaces_.empty()) throw std::logic_error("an event source fires at least one interface");
}

std::size_t EventSource::indexOf(std::string_view interfaceId) const {
    if (interfaceId.empty()) return 0;
    for (std::size_t i = 0; i < interfaces_.size(); ++i)
        if (interfaces_[i].size() == interfaceId.size() &&
            strncasecmp(interfaces_[i].data(), interfaceId.data(), interfaceId.size()) == 0)
            return i;
    return interfaces_.size();
}

bool EventSource::fires(std::string_view interfaceId) const {
    return indexOf(interfaceId) < interfaces_.size();
}

Cookie EventSource::connect(std::string_view interfaceId, EventHandler handler) {
    const std::size_t index = indexOf(interfaceId);
    if (index == interfaces_.size())
        throw AutomationError::standard(error::NoSuchEventInterface, std::string(interfaceId));
    if (!handler) throw AutomationError::standard(error::InvalidCall, "empty event sink");
    std::lock_guard lock(mutex_);
    const Cookie cookie = nextCookie_++;
    connections_.push_back({cookie, index, std::move(handler)});
    return cookie;
}

Cookie EventSource::advise(std::string_view interfaceId, EventHandler sink) {
    return connect(interfaceId, std::move(sink));
}

Cookie EventSource::advise(std::string_view interfaceId, Ref<Object> sink) {
    if (!sink) throw AutomationError::standard(error::ObjectRequired, "event sink");
    return connect(interfaceId, [sink](DispId event, const Args& args) {
        // Sinks implement only the events they care about. An object that
        // answers calls itself (no map) decides on its own.
        const DispatchMap& map = sink->dispatchMap();
        if (&map != &DispatchMap::empty() && !map.find(event, MemberKind::Method) &&
            !map.find(event, MemberKind::PropertyGet))
            return;
        sink->invoke(event, CallKind::Method, args);
    });
}

bool EventSource::unadvise(Cookie cookie) {
    std::lock_guard lock(mutex_);
    auto it = std::find_if(connections_.begin(), connections_.end(),
                           [&](const Connection& c) { return c.cookie == cookie; });
    if (it == connections_.end()) return false;
    connections_.erase(it);
    return true;
}

void EventSource::fire(std::string_view interfaceId, DispId event, const Args& args) {
    const std::size_t index = indexOf(interfaceId);
    if (index == interfaces_.size())
        throw AutomationError::standard(error::NoSuchEventInterface, std::string(interfaceId));
    std::vector<EventHandler> sinks;
    {
        std::lock_guard lock(mutex_);
        for (const auto& c : connections_)
            if (c.interface == index) sinks.push_back(c.handler);
    }
    for (auto& sink : sinks) sink(event, args);
}

std::size_t EventSource::sinkCount(std::string_view interfaceId) const {
    const std::size_t index = indexOf(interfaceId);
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(
        std::count_if(connections_.begin(), connections_.end(),
                      [&](const Connection& c) { return c.interface == index; }));
}

namespace {
EventSource& sourceOf(Object& object) {
    EventSource* events = object.events();
    if (!events) throw AutomationError::standard(error::NoSuchEventInterface);
    return *events;
}
}  // namespace

Cookie advise(Object& source, EventHandler sink, std::string_view interfaceId) {
    return sourceOf(source).advise(interfaceId, std::move(sink));
}

Cookie advise(Object& source, Ref<Object> sink, std::string_view interfaceId) {
    return sourceOf(source).advise(interfaceId, std::move(sink));
}

bool unadvise(Object& source, Cookie cookie) {
    return sourceOf(source).unadvise(cookie);
}

}  // namespace platform::automation
