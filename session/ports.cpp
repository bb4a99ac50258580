// Captured printer ports over the client's capture table.
#include "session/ports.h"

#include <algorithm>

#include "kdclient.h"
#include "session/client.h"
#include "session/errors.h"
#include "session/namepath.h"

namespace session {
namespace {

// The queue a port goes to, as the port list shows it: the directory name
// of the queue on a directory connection, else \\SERVER\QUEUE; the queue's
// own name when neither can be read.
std::string queueFullName(const KDCaptureStatus& status, const std::string& queue) {
    std::uint32_t directory = 0;
    char tree[KD_MAX_TREE_NAME] = {};
    if (kdconn_item(status.connection, KD_CONN_ITEM_DIRECTORY, sizeof directory, &directory) ==
            KD_SUCCESS &&
        directory != 0 &&
        kdconn_item(status.connection, KD_CONN_ITEM_TREE_NAME, sizeof tree, tree) == KD_SUCCESS) {
        DirContext context;
        char dotted[KD_MAX_DN] = {};
        if (context.create() == KD_SUCCESS && context.prepareForReads() == KD_SUCCESS &&
            kddirs_id_to_name(context.handle(), status.connection, status.queueId, dotted) ==
                KD_SUCCESS) {
            const NamePath path = NamePath::fromTreeAndContext(
                stripTreePadding(fromBuffer(tree, sizeof tree)), fromBuffer(dotted, sizeof dotted));
            if (path.isValid()) return path.fullName();
        }
    }
    char server[KD_MAX_SERVER_NAME] = {};
    if (kdconn_item(status.connection, KD_CONN_ITEM_SERVER_NAME, sizeof server, server) ==
        KD_SUCCESS)
        return "\\\\" + stripTreePadding(fromBuffer(server, sizeof server)) + "\\" + queue;
    return queue;
}

// Where a capture goes: the connection to the queue's server and the queue.
struct QueueTarget {
    KDCONNHANDLE connection = 0;
    KDOBJECTID queueId = 0;
    std::string fullName;
    std::string shortName;
};

// \\SERVER\QUEUE (upper case): the queue in the server's bindery.
QueueTarget binderyQueue(const std::string& fullName) {
    const std::string rest = fullName.size() > 2 ? fullName.substr(2) : std::string();
    const std::size_t sep = rest.find('\\');
    const std::string server = rest.substr(0, sep);
    const std::string queue = sep == std::string::npos ? std::string() : rest.substr(sep + 1);
    // Without a server or a queue the name names no queue at all; the client
    // would only be asked for an object without a name.
    if (server.empty() || queue.empty()) raiseMessage(msg::InvalidQueueName);

    QueueTarget target;
    int rc = kdserv_open_connection(server.c_str(), &target.connection);
    if (rc == KD_ERR_NO_CONNECTION) rc = kdconn_open_by_name(server.c_str(), &target.connection);
    if (rc != KD_SUCCESS) raiseMessage(msg::InvalidQueueName, rc);
    check(
        kdserv_object_id(target.connection, queue.c_str(), KD_OBJECT_TYPE_QUEUE, &target.queueId));
    target.fullName = "\\\\" + server + "\\" + queue;
    target.shortName = queue;
    return target;
}

// KTR:\\TREE\...\QUEUE: the queue resolved through the directory.
QueueTarget directoryQueue(const std::string& fullName) {
    const NamePath path = NamePath::fromFullName(std::string_view(fullName).substr(4));
    if (!path.isValid() || path.components().empty()) raiseMessage(msg::InvalidQueueName);
    DirContext context;
    check(context.create());
    check(context.prepareForReads());
    check(context.setTreeName(path.tree()));
    check(context.setNameContext(std::string(kRootContext)));
    QueueTarget target;
    check(kddirs_resolve_queue(context.handle(), path.context().c_str(), &target.connection,
                               &target.queueId));
    target.fullName = path.fullName();
    target.shortName = path.components().back();
    return target;
}

}  // namespace

void KDCapturedPort::describe(pa::MapBuilder<KDCapturedPort>& b) {
    b.property(1, "Port", [](KDCapturedPort& self) {
         return self.port_;
     }).help("Specifies the port number.  Valid ports are from 1 to 9.", 14);
    b.property(2, "QueueName", &KDCapturedPort::queueName)
        .help("Specifies the name of the port being captured.", 15)
        .returns("KDNetworkName");
}

pa::Ref<KDCapturedPort> KDCapturedPort::create(std::int16_t port, std::string fullName,
                                               std::string shortName) {
    return pa::Ref<KDCapturedPort>(
        new KDCapturedPort(port, std::move(fullName), std::move(shortName)));
}

void KDCapturedPorts::describe(pa::MapBuilder<KDCapturedPorts>& b) {
    b.property(1, "Count", &KDCapturedPorts::count)
        .help("Specifies the number of ports that have been captured.", 486);
    b.method(2, "Add", &KDCapturedPorts::add, {"Port", "FullName"})
        .help("Adds a new KDCapturedPort.  Valid ports are from 1 to 9.", 10)
        .returns("IKDCapturedPort")
        .paramType("Port", kPrinterPortsType);
    b.method(3, "Remove", &KDCapturedPorts::remove, {"Port"})
        .help("Removes a captured port.  Valid ports are 1 to 9.", 11)
        .paramType("Port", kPrinterPortsType);
    b.getter(4, "Item", &KDCapturedPorts::item, {"Index"})
        .help("Returns an KDCapturedPort.  Index is a value from 0 to 8", 368)
        .returns("IKDCapturedPort")
        .asDefault();
    b.newEnum(&KDCapturedPorts::newEnum);
}

void KDCapturedPorts::refresh() {
    items_.clear();
    for (std::int16_t port = kFirstPort; port <= kLastPort; ++port) {
        KDCaptureStatus status{};
        if (kdserv_capture_status(static_cast<std::uint16_t>(port), &status) != KD_SUCCESS)
            continue;
        const std::string queue = fromBuffer(status.queueName, sizeof status.queueName);
        items_.push_back(KDCapturedPort::create(port, queueFullName(status, queue), queue));
    }
}

pa::Ref<KDCapturedPort> KDCapturedPorts::add(std::int32_t port, std::string fullName) {
    if (port < kFirstPort || port > kLastPort) raiseMessage(msg::InvalidPort);
    // The client takes names as C text: behind a NUL it would see another
    // queue than the one this item would name.
    if (fullName.empty() || fullName.find('\0') != std::string::npos)
        raiseMessage(msg::InvalidQueueName);
    fullName = toUpperAscii(std::move(fullName));

    const QueueTarget target =
        hasDirectoryPrefix(fullName) ? directoryQueue(fullName) : binderyQueue(fullName);
    check(kdserv_start_capture(target.connection, static_cast<std::uint16_t>(port), target.queueId,
                               target.shortName.c_str()));
    auto captured =
        KDCapturedPort::create(static_cast<std::int16_t>(port), target.fullName, target.shortName);
    // A port captures to one queue: a new capture of a listed port takes its place.
    const auto listed = std::find_if(items_.begin(), items_.end(),
                                     [&](const auto& item) { return item->port() == port; });
    if (listed != items_.end())
        *listed = captured;
    else
        items_.push_back(captured);
    return captured;
}

void KDCapturedPorts::remove(std::int32_t port) {
    const auto listed = std::find_if(items_.begin(), items_.end(),
                                     [&](const auto& item) { return item->port() == port; });
    if (listed == items_.end()) raiseMessage(msg::PortNotCaptured);
    if (kdserv_end_capture(static_cast<std::uint16_t>(port)) != KD_SUCCESS)
        raiseMessage(msg::PortNotCaptured);
    items_.erase(listed);
}

pa::Ref<KDCapturedPort> KDCapturedPorts::item(std::int16_t index) const {
    if (index < 0 || index >= count()) throw pa::AutomationError::standard(pa::error::BadIndex);
    return items_[static_cast<std::size_t>(index)];
}

}  // namespace session
