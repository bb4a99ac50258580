// A small in-process server for the automation tests: a Counter with a
// read/write default property, a read-only property, an optional and a
// by-reference parameter and an event; a Bag collection with Item, Count and
// _NewEnum; and a class whose factory refuses with an error of its own.
#include <algorithm>

#include "platform/automation/automation.h"
#include "platform/text/casefold.h"
#include "test_server.h"

namespace {

using namespace platform::automation;

class Counter : public Dispatchable<Counter> {
public:
    static void describe(MapBuilder<Counter>& b) {
        b.property(1, "Count", &Counter::count, &Counter::setCount)
            .help("The current count.", 101)
            .asDefault();
        b.property(2, "Name", &Counter::name).help("Read only.", 102);
        b.method(3, "Increment", &Counter::increment, {optional("By")});
        b.method(4, "Stamp", &Counter::stamp, {byRef("Text")});
    }

    Counter() : events_({testserver::kCounterEvents}) {}
    EventSource* events() noexcept override { return &events_; }

    std::int32_t count() const { return count_; }
    void setCount(std::int32_t value) {
        count_ = value;
        events_.fire(testserver::kCounterEvents, 1, {Variant(count_)});
    }
    std::string name() const { return "counter"; }
    std::int32_t increment(std::optional<std::int32_t> by) {
        setCount(count_ + by.value_or(1));
        return count_;
    }
    // Appends "!" to the caller's text and answers its new length.
    std::int32_t stamp(Variant text) {
        text.store(Variant(text.toString() + "!"));
        return static_cast<std::int32_t>(text.toString().size());
    }

private:
    std::int32_t count_ = 0;
    EventSource events_;
};

class Bag : public Dispatchable<Bag> {
public:
    static void describe(MapBuilder<Bag>& b) {
        b.property(1, "Count", &Bag::count);
        b.getter(2, "Item", &Bag::item, {"Index"}).asDefault();
        b.method(3, "Add", &Bag::add, {"Value"});
        b.newEnum([](Bag& self) { return EnumVariant::create(self.items_); }).notInTypeLibrary();
    }

    std::int32_t count() const { return static_cast<std::int32_t>(items_.size()); }
    void add(Variant value) { items_.push_back(value.deref()); }
    // A text index finds the first item with that text (or gives Nothing);
    // anything else counts from 0.
    Variant item(Variant index) {
        if (index.isString()) {
            auto it = std::find_if(items_.begin(), items_.end(), [&](const Variant& v) {
                return v.isString() &&
                       platform::text::equalsIgnoringCase(v.stringValue(), index.stringValue());
            });
            return it == items_.end() ? Variant::nothing() : *it;
        }
        const std::int32_t i = index.toInt32();
        if (i < 0 || i >= count()) throw AutomationError::standard(error::BadIndex);
        return items_[static_cast<std::size_t>(i)];
    }

private:
    Variant::Array items_;
};

ServerDescription describeServer() {
    ServerDescription d;
    TypeLibrary lib;
    lib.name = "TestLib";
    lib.guid = testserver::kLibraryId;
    lib.major = 1;
    lib.minor = 2;
    lib.locale = 0x409;
    lib.helpString = "Test Server Library";
    lib.helpFile = "testlib.hlp";
    lib.helpContext = 2;
    lib.interfaces.push_back(describeInterface("ICounter", testserver::kICounter,
                                               Counter::classMap(), "A counter", 100));
    lib.interfaces.push_back(describeInterface("IBag", testserver::kIBag, Bag::classMap()));
    InterfaceInfo events{
        "_CounterEvents", testserver::kCounterEvents, "Counter events", 0, true, {}};
    Member changed;
    changed.id = 1;
    changed.name = "Changed";
    changed.params = {{"NewValue", TypeCode::Int32, false, false}};
    events.members.push_back(changed);
    lib.interfaces.push_back(events);
    lib.classes.push_back({"Counter", testserver::kCounterClsid, "A counter", 100, "ICounter",
                           "_CounterEvents", true, true});
    lib.classes.push_back({"Bag", testserver::kBagClsid, "A bag", 0, "IBag", "", false, true});
    lib.enums.push_back(
        {"Steps", "Step sizes", 12, {{"One", 1, "One step", 12}, {"Ten", 10, "", 0}}});
    d.typeLibrary = lib;

    d.categories.push_back({testserver::kSafeForScripting, "Controls that are safely scriptable"});
    ServerClass counter;
    counter.clsid = testserver::kCounterClsid;
    counter.name = "Test Counter";
    counter.progId = "TestLib.Counter.1";
    counter.versionIndependentProgId = "TestLib.Counter";
    counter.create = [] { return Ref<Object>(make<Counter>()); };
    counter.control = true;
    counter.miscStatus = 0x20591;
    counter.implementedCategories = {testserver::kSafeForScripting};
    counter.toolboxBitmap = 3;
    counter.versionInfo = platform::registry::VersionInfo{"2.5",     "2.5",     "Test counter",
                                                          "TestLib", "Counter", "TESTLIB.OCX"};
    d.classes.push_back(counter);

    ServerClass bag;
    bag.clsid = testserver::kBagClsid;
    bag.name = "Test Bag";
    bag.progId = "TestLib.Bag";
    bag.create = [] { return Ref<Object>(make<Bag>()); };
    d.classes.push_back(bag);

    ServerClass failing;
    failing.clsid = testserver::kFailingClsid;
    failing.name = "Test Failing";
    failing.progId = "TestLib.Failing.1";
    failing.create = []() -> Ref<Object> {
        throw AutomationError(testserver::kNoClientCode, testserver::kNoClientText, -1, "TestLib");
    };
    d.classes.push_back(failing);
    return d;
}

}  // namespace

TVN_AUTOMATION_SERVER(describeServer)
