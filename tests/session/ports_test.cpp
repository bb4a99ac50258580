// Captured printer ports as a host sees them: the one CapturedPorts object
// of a control, refreshed on every read (captures made by the kdclient tool
// in between show up), capturing to bindery and directory queues, ending
// captures, and the port and queue names it refuses.
#include "quillonhost.h"

namespace {

using namespace quillontest;

class CapturedPorts : public QuillonHost {
protected:
    pa::Ref<pa::Object> ports() { return control_->get("CapturedPorts").toObject(); }

    pa::Ref<pa::Object> capture(int port, const std::string& queue) {
        return ports()->call("Add", {Variant(std::int32_t(port)), Variant(queue)}).toObject();
    }

    std::vector<int> listed() {
        std::vector<int> out;
        for (const Variant& item : pa::enumerate(*ports()))
            out.push_back(item.toObject()->get("Port").toInt32());
        return out;
    }

    pa::Ref<pa::Object> control_ = create();
};

TEST_F(CapturedPorts, PortsOneToNineAreListedInPortOrder) {
    EXPECT_EQ(ports()->get("Count").toInt32(), 0);
    EXPECT_TRUE(pa::enumerate(*ports()).empty());
    for (int port : {9, 3, 1}) capture(port, "\\\\fs1\\q1");

    auto list = ports();
    EXPECT_EQ(list->get("Count").toInt32(), 3);
    EXPECT_EQ(listed(), (std::vector<int>{1, 3, 9}));
    auto third = list->get("Item", {Variant(std::int16_t(1))}).toObject();
    EXPECT_EQ(third->get("Port").toInt32(), 3);
    auto queue = third->get("QueueName").toObject();
    EXPECT_EQ(queue->get("FullName").toString(), "\\\\FS1\\Q1");
    EXPECT_EQ(queue->get("ShortName").toString(), "Q1");
    EXPECT_NE(third->get("QueueName").objectValue(), queue.get());  // a new name each time
    EXPECT_EQ(list->invoke(pa::DispIdValue, pa::CallKind::Get, {Variant(std::int16_t(2))})
                  .toObject()
                  ->get("Port")
                  .toInt32(),
              9);
    EXPECT_EQ(codeOf([&] { list->get("Item", {Variant(std::int16_t(3))}); }), pa::error::BadIndex);
    EXPECT_EQ(codeOf([&] { list->get("Item", {Variant(std::int16_t(-1))}); }), pa::error::BadIndex);
}

TEST_F(CapturedPorts, TheSameObjectShowsCapturesMadeOutsideOnTheNextRead) {
    capture(1, "\\\\FS1\\Q1");
    auto first = ports();
    ASSERT_EQ(kdclient("capture LPT4 '\\\\FS1\\LASERQ'"), 0);
    ASSERT_EQ(kdclient("endcap LPT1"), 0);
    EXPECT_EQ(first->get("Count").toInt32(), 1);  // until it is read again
    auto second = ports();
    EXPECT_EQ(second.get(), first.get());
    EXPECT_EQ(listed(), std::vector<int>{4});
    // Captured on a directory connection: the queue's directory name.
    auto queue = second->get("Item", {Variant(std::int16_t(0))}).toObject()->get("QueueName");
    EXPECT_EQ(queue.toObject()->get("FullName").toString(), "KTR:\\\\ACME\\Org\\LASERQ");
    EXPECT_EQ(queue.toObject()->value().toString(), "LASERQ");
}

TEST_F(CapturedPorts, CapturesToBinderyAndDirectoryQueues) {
    auto bindery = capture(2, "\\\\fs1\\q1");
    EXPECT_EQ(bindery->get("Port").toInt32(), 2);
    EXPECT_EQ(bindery->get("QueueName").toObject()->get("FullName").toString(), "\\\\FS1\\Q1");

    auto directory = capture(5, "ktr:\\\\acme\\org\\laserq");
    auto name = directory->get("QueueName").toObject();
    EXPECT_EQ(name->get("FullName").toString(), "KTR:\\\\ACME\\ORG\\LASERQ");
    EXPECT_EQ(name->get("ShortName").toString(), "LASERQ");

    // A port captured again goes to the new queue and is listed once.
    capture(2, "\\\\FS1\\LASERQ");
    EXPECT_EQ(listed(), (std::vector<int>{2, 5}));
    EXPECT_EQ(ports()
                  ->get("Item", {Variant(std::int16_t(0))})
                  .toObject()
                  ->get("QueueName")
                  .toObject()
                  ->value()
                  .toString(),
              "LASERQ");
}

TEST_F(CapturedPorts, RefusesPortsOutsideOneToNineAndNamesOfNoQueue) {
    for (int port : {0, 10, -1}) {
        const auto error = errorOf([&] { capture(port, "\\\\FS1\\Q1"); });
        EXPECT_EQ(error.code(), 615) << port;
        EXPECT_EQ(error.description(), "Invalid port specified.");
    }
    const auto empty = errorOf([&] { capture(1, ""); });
    EXPECT_EQ(empty.code(), 616);
    EXPECT_EQ(empty.description(), "Invalid queue full name specified.");
    for (const char* name : {"\\\\FS1", "\\\\FS1\\", "KTR:\\\\ACME", "KTR:\\\\ACME\\Org."})
        EXPECT_EQ(codeOf([&] { capture(1, name); }), 616) << name;
    // A server the network lacks: 616 with the client's code.
    const auto server = errorOf([&] { capture(1, "\\\\NOSUCH\\Q1"); });
    EXPECT_EQ(server.code(), 0x89FC);
    EXPECT_EQ(server.description(), "Invalid queue full name specified.");
    // The server is there, the queue is not: the client's error.
    EXPECT_EQ(errorOf([&] { capture(1, "\\\\FS1\\NOSUCH"); }).description(), "Unknown file server");
    EXPECT_EQ(codeOf([&] { capture(1, "KTR:\\\\ACME\\Org\\Unit"); }), 633);  // no queue
    EXPECT_EQ(ports()->get("Count").toInt32(), 0);
}

// The client reads names as C text; a NUL inside would capture the queue
// named before it under a full name that holds the NUL.
TEST_F(CapturedPorts, RefusesANameWithANulBeforeTheClientSeesIt) {
    for (const std::string& name : {std::string("\\\\FS1\\Q1") + '\0' + "Z",
                                    std::string("KTR:\\\\ACME\\Org\\LASERQ") + '\0'}) {
        const auto error = errorOf([&] { capture(1, name); });
        EXPECT_EQ(error.code(), 616);
        EXPECT_EQ(error.description(), "Invalid queue full name specified.");
    }
    EXPECT_EQ(ports()->get("Count").toInt32(), 0);
    EXPECT_EQ(kdclient("endcap LPT1"), 1 << 8);  // nothing was captured
}

TEST_F(CapturedPorts, RemoveEndsListedCapturesOnly) {
    capture(1, "\\\\FS1\\Q1");
    capture(3, "\\\\FS1\\Q1");
    auto list = ports();
    const auto notListed = errorOf([&] { list->call("Remove", {Variant(std::int32_t(2))}); });
    EXPECT_EQ(notListed.code(), 651);
    EXPECT_EQ(notListed.description(),
              "Specified port has not been captured or is an invalid port ");
    EXPECT_EQ(codeOf([&] { list->call("Remove", {Variant(std::int32_t(12))}); }), 651);

    EXPECT_TRUE(list->call("Remove", {Variant(std::int32_t(3))}).isEmpty());
    EXPECT_EQ(list->get("Count").toInt32(), 1);
    EXPECT_EQ(listed(), std::vector<int>{1});

    // Ended outside since the last read: the client has nothing to end, so
    // Remove fails and the port stays listed until the next read.
    ASSERT_EQ(kdclient("endcap LPT1"), 0);
    EXPECT_EQ(codeOf([&] { list->call("Remove", {Variant(std::int32_t(1))}); }), 651);
    EXPECT_EQ(list->get("Count").toInt32(), 1);
}

}  // namespace
