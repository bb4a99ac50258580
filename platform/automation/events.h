// Connection points: an event source keeps its sinks per event interface and
// fires events by DISPID. A sink is either a function or an automation object,
// whose member with the event's DISPID is called (a sink without that member
// simply does not hear the event). Advise answers a cookie for Unadvise.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/automation/object.h"

namespace platform::automation {

using Cookie = std::uint32_t;
using EventHandler = std::function<void(DispId event, const Args& args)>;

class EventSource {
public:
    // The interfaces (GUID text or name) this source fires; the first is the
    // default, used when an interface id is left empty. Ids compare without
    // regard to case.
    explicit EventSource(std::vector<std::string> interfaces);
    EventSource(const EventSource&) = delete;
    EventSource& operator=(const EventSource&) = delete;

    // Raises NoSuchEventInterface for an interface the source does not fire.
    Cookie advise(std::string_view interfaceId, EventHandler sink);
    Cookie advise(std::string_view interfaceId, Ref<Object> sink);
    // Returns whether the cookie named a connection.
    bool unadvise(Cookie cookie);

    // Calls every sink connected when firing starts; a sink may advise or
    // unadvise meanwhile. An error raised by a sink ends the firing and
    // reaches the caller.
    void fire(std::string_view interfaceId, DispId event, const Args& args = {});

    std::size_t sinkCount(std::string_view interfaceId = {}) const;
    const std::vector<std::string>& interfaces() const { return interfaces_; }
    bool fires(std::string_view interfaceId) const;

private:
    struct Connection {
        Cookie cookie;
        std::size_t interface;
        EventHandler handler;
    };
    std::size_t indexOf(std::string_view interfaceId) const;
    Cookie connect(std::string_view interfaceId, EventHandler handler);

    std::vector<std::string> interfaces_;
    mutable std::mutex mutex_;
    std::vector<Connection> connections_;
    Cookie nextCookie_ = 1;
};

// Host-side helpers on any object; raise NoSuchEventInterface for an object
// that is not an event source.
Cookie advise(Object& source, EventHandler sink, std::string_view interfaceId = {});
Cookie advise(Object& source, Ref<Object> sink, std::string_view interfaceId = {});
bool unadvise(Object& source, Cookie cookie);

}  // namespace platform::automation
