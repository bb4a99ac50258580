// Captured printer ports: KDCapturedPort (a port LPT1 to LPT9 and the print
// queue it goes to) and KDCapturedPorts, the list of captured ports that the
// control keeps and refreshes from the client on every read, with Add
// (capture), Remove (end a capture), Item and _NewEnum.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/automation/dispatch.h"
#include "session/netnames.h"

namespace session {

inline constexpr int kFirstPort = 1;
inline constexpr int kLastPort = 9;
// The type library's enumeration of the ports, LPT1 = 1 to LPT9 = 9.
inline constexpr const char* kPrinterPortsType = "KDPrinterPorts";

class KDCapturedPort : public pa::Dispatchable<KDCapturedPort> {
public:
    static void describe(pa::MapBuilder<KDCapturedPort>& b);
    static pa::Ref<KDCapturedPort> create(std::int16_t port, std::string fullName,
                                          std::string shortName);

    std::int16_t port() const { return port_; }
    const std::string& fullName() const { return fullName_; }
    const std::string& shortName() const { return shortName_; }
    // A new network name for the queue.
    pa::Ref<KDNetObj> queueName() const { return KDNetObj::create(fullName_, shortName_); }

private:
    KDCapturedPort(std::int16_t port, std::string fullName, std::string shortName)
        : port_(port), fullName_(std::move(fullName)), shortName_(std::move(shortName)) {}

    std::int16_t port_;
    std::string fullName_;
    std::string shortName_;
};

class KDCapturedPorts : public pa::Dispatchable<KDCapturedPorts> {
public:
    static void describe(pa::MapBuilder<KDCapturedPorts>& b);
    // An empty list; refresh() fills it.
    static pa::Ref<KDCapturedPorts> create() {
        return pa::Ref<KDCapturedPorts>(new KDCapturedPorts);
    }

    // Lists the ports the client captures now, LPT1 first. A capture whose
    // queue name cannot be read is listed all the same.
    void refresh();

    std::int32_t count() const { return static_cast<std::int32_t>(items_.size()); }
    // Captures Port to the queue FullName (\\SERVER\QUEUE or a directory
    // full name). Raises 615 for a port outside 1 to 9, 616 for a name that
    // names no queue, and the client's error when the capture fails.
    pa::Ref<KDCapturedPort> add(std::int32_t port, std::string fullName);
    // Ends the capture of Port; raises 651 when the port is not listed or
    // the client keeps the capture.
    void remove(std::int32_t port);
    // The item at a position from 0 (not a port number).
    pa::Ref<KDCapturedPort> item(std::int16_t index) const;
    pa::Ref<CEnumVariant> newEnum() const { return enumeratorOver(items_); }
    const std::vector<pa::Ref<KDCapturedPort>>& items() const { return items_; }

private:
    KDCapturedPorts() { items_.reserve(10); }

    std::vector<pa::Ref<KDCapturedPort>> items_;
};

}  // namespace session
