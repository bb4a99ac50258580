// How quillon-host reads its command line and writes results: argument
// words, member paths, walking and indexing objects, setting a property,
// and the text of values, collections and objects without a default member.
#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/automation/dispatch.h"
#include "platform/automation/enumerator.h"
#include "platform/automation/error.h"
#include "session/host/latebound.h"

namespace {

namespace pa = platform::automation;
using namespace quillonhost;
using pa::Variant;

// A named item (default member Name) and a record without a default member.
class Item : public pa::Dispatchable<Item> {
public:
    static void describe(pa::MapBuilder<Item>& b) {
        b.property(1, "Name", [](Item& i) { return i.name; }).asDefault();
    }
    static pa::Ref<Item> make(std::string name) {
        pa::Ref<Item> item(new Item);
        item->name = std::move(name);
        return item;
    }
    std::string name;
};

class Record : public pa::Dispatchable<Record> {
public:
    static void describe(pa::MapBuilder<Record>& b) {
        b.property(1, "Port", [](Record&) { return std::int16_t(3); });
        b.property(2, "Queue", [](Record&) { return Item::make("Q1"); });
    }
};

// A list of items (Count, Item, _NewEnum).
class List : public pa::Dispatchable<List> {
public:
    static void describe(pa::MapBuilder<List>& b) {
        b.property(1, "Count", [](List& l) { return static_cast<std::int32_t>(l.names.size()); });
        b.getter(2, "Item", &List::item, {"Index"});
        b.newEnum(&List::newEnum);
    }
    Variant item(std::int32_t i) {
        if (i < 0 || i >= static_cast<std::int32_t>(names.size()))
            throw pa::AutomationError::standard(pa::error::BadIndex);
        return Variant(Item::make(names[static_cast<std::size_t>(i)]));
    }
    pa::Ref<pa::EnumVariant> newEnum() {
        pa::Variant::Array all;
        for (std::size_t i = 0; i < names.size(); ++i)
            all.push_back(item(static_cast<std::int32_t>(i)));
        return pa::EnumVariant::create(std::move(all));
    }
    std::vector<std::string> names{"alpha", "beta"};
};

class Bag : public pa::Dispatchable<Bag> {
public:
    static void describe(pa::MapBuilder<Bag>& b) {
        b.property(1, "Items", [](Bag& bag) { return bag.list; });
        b.property(
            2, "Size", [](Bag& bag) { return bag.size; },
            [](Bag& bag, std::int32_t s) { bag.size = s; });
        b.method(3, "Find", &Bag::find, {"Name"});
        b.property(4, "Record", [](Bag&) { return pa::Ref<Record>(new Record); });
        b.property(5, "Nobody", [](Bag&) { return Variant::nothing(); });
    }
    Variant find(std::string name) {
        for (std::size_t i = 0; i < list->names.size(); ++i)
            if (list->names[i] == name) return list->item(static_cast<std::int32_t>(i));
        return Variant::nothing();
    }

    pa::Ref<List> list{new List};
    std::int32_t size = 0;
};

std::vector<std::string> run(pa::Object& object, const std::string& path, pa::Args args = {}) {
    return resultLines(callPath(object, parseMemberPath(path), args));
}

int codeOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const pa::AutomationError& e) {
        return e.code();
    }
    return 0;
}

TEST(Arguments, IntegersBooleansAndStrings) {
    EXPECT_EQ(parseArgument("42"), Variant(std::int32_t(42)));
    EXPECT_EQ(parseArgument("-7"), Variant(std::int32_t(-7)));
    EXPECT_EQ(parseArgument("+3"), Variant(std::int32_t(3)));
    EXPECT_EQ(parseArgument("2147483648"), Variant(2147483648.0));
    EXPECT_EQ(parseArgument("true"), Variant(true));
    EXPECT_EQ(parseArgument("FALSE"), Variant(false));
    EXPECT_EQ(parseArgument("\"42\""), Variant("42"));
    EXPECT_EQ(parseArgument("\"true\""), Variant("true"));
    EXPECT_EQ(parseArgument("\"\""), Variant(""));
    EXPECT_EQ(parseArgument(""), Variant(""));
    EXPECT_EQ(parseArgument("4x"), Variant("4x"));
    EXPECT_EQ(parseArgument("-"), Variant("-"));
    EXPECT_EQ(parseArgument("\\\\FS1\\SYS"), Variant("\\\\FS1\\SYS"));
}

TEST(Arguments, DecimalsNullAndConstants) {
    EXPECT_EQ(parseArgument("1.5"), Variant(1.5));
    EXPECT_EQ(parseArgument("-0.25"), Variant(-0.25));
    EXPECT_EQ(parseArgument("+.5"), Variant(0.5));
    EXPECT_EQ(parseArgument("2."), Variant(2.0));
    EXPECT_EQ(parseArgument("1e3"), Variant(1000.0));
    EXPECT_EQ(parseArgument("2.5E-1"), Variant(0.25));
    for (const char* text : {"1.5.2", "1e", "e5", ".", "-.", "1,5", "inf", "nan", "0x10", "1.5x"})
        EXPECT_EQ(parseArgument(text), Variant(text)) << text;
    EXPECT_EQ(parseArgument("\"1.5\""), Variant("1.5"));

    EXPECT_TRUE(parseArgument("null").isNull());
    EXPECT_TRUE(parseArgument("NULL").isNull());
    EXPECT_EQ(parseArgument("\"null\""), Variant("null"));

    // The constants of a library stand for their values, in any case;
    // quoted, or without the library, the word is text.
    pa::TypeLibrary library;
    library.enums.push_back({"Ports", "", 0, {{"LPT1", 1, "", 0}, {"LPT2", 2, "", 0}}});
    EXPECT_EQ(parseArgument("LPT2", &library), Variant(std::int32_t(2)));
    EXPECT_EQ(parseArgument("lpt1", &library), Variant(std::int32_t(1)));
    EXPECT_EQ(parseArgument("\"LPT2\"", &library), Variant("LPT2"));
    EXPECT_EQ(parseArgument("LPT3", &library), Variant("LPT3"));
    EXPECT_EQ(parseArgument("LPT2"), Variant("LPT2"));
    EXPECT_EQ(parseMemberPath("A(LPT2, 1.5, null)", &library)[0].args.at(0),
              Variant(std::int32_t(2)));
    EXPECT_EQ(parseMemberPath("A(LPT2, 1.5, null)", &library)[0].args.at(1), Variant(1.5));
    EXPECT_TRUE(parseMemberPath("A(LPT2, 1.5, null)", &library)[0].args.at(2).isNull());
}

TEST(MemberPaths, StepsWithArgumentsAndTheirMistakes) {
    auto steps = parseMemberPath("DriveMappings(0).FullName");
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0].member, "DriveMappings");
    EXPECT_TRUE(steps[0].indexed);
    EXPECT_EQ(steps[0].args, pa::Args{Variant(std::int32_t(0))});
    EXPECT_FALSE(steps[1].indexed);

    // Dots and commas inside parentheses or quotes belong to the arguments.
    steps = parseMemberPath("LoginName(KTR:\\\\T\\A.B).X(\"a,b\", 2, true)");
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0].args, pa::Args{Variant("KTR:\\\\T\\A.B")});
    EXPECT_EQ(steps[1].args, (pa::Args{Variant("a,b"), Variant(std::int32_t(2)), Variant(true)}));
    EXPECT_TRUE(parseMemberPath("Items()")[0].args.empty());

    for (const char* bad : {"", ".A", "A.", "A..B", "A(1", "A(1)B", "(1)"})
        EXPECT_THROW(parseMemberPath(bad), std::invalid_argument) << bad;
}

TEST(Calls, WalkIndexAndPassArguments) {
    pa::Ref<Bag> bag(new Bag);
    EXPECT_EQ(run(*bag, "Items"), (std::vector<std::string>{"alpha", "beta"}));
    EXPECT_EQ(run(*bag, "Items(1)"), std::vector<std::string>{"beta"});
    EXPECT_EQ(run(*bag, "Items(1).Name"), std::vector<std::string>{"beta"});
    EXPECT_EQ(run(*bag, "Find", {Variant("alpha")}), std::vector<std::string>{"alpha"});
    EXPECT_EQ(run(*bag, "Find(beta)"), std::vector<std::string>{"beta"});
    EXPECT_EQ(run(*bag, "Find(gamma)"), std::vector<std::string>{"Nothing"});
    EXPECT_EQ(run(*bag, "Record"), std::vector<std::string>{"Port=3 Queue=Q1"});

    EXPECT_EQ(codeOf([&] { run(*bag, "Items(5)"); }), pa::error::BadIndex);
    EXPECT_EQ(codeOf([&] { run(*bag, "Items(0)", {Variant(1)}); }), pa::error::WrongArgumentCount);
    EXPECT_EQ(codeOf([&] { run(*bag, "Nobody.Name"); }), pa::error::ObjectNotSet);
    EXPECT_EQ(codeOf([&] { run(*bag, "Size.Name"); }), pa::error::ObjectRequired);
    EXPECT_EQ(codeOf([&] { run(*bag, "Missing"); }), pa::error::MemberNotFound);
}

TEST(Calls, OneArgumentSetsASettableProperty) {
    pa::Ref<Bag> bag(new Bag);
    EXPECT_TRUE(run(*bag, "Size", {Variant(std::int32_t(9))}).empty());
    EXPECT_EQ(bag->size, 9);
    EXPECT_EQ(run(*bag, "Size"), std::vector<std::string>{"9"});
    // A property that cannot be set says so itself; a method without
    // parameters given one is still the wrong number of arguments.
    EXPECT_EQ(codeOf([&] { run(*bag, "Record", {Variant(1)}); }), pa::error::PropertyReadOnly);
    EXPECT_EQ(codeOf([&] { run(*bag, "Items", {Variant("x")}); }), pa::error::PropertyReadOnly);
    EXPECT_EQ(codeOf([&] {
                  run(*bag, "Find", {Variant("a"), Variant("b")});
              }),
              pa::error::WrongArgumentCount);
    EXPECT_EQ(codeOf([&] { run(*bag, "Items.Count", {Variant(1)}); }), pa::error::PropertyReadOnly);
}

// A class with a member of every kind the listing tells apart.
class Kinds : public pa::Dispatchable<Kinds> {
public:
    static void describe(pa::MapBuilder<Kinds>& b) {
        b.property(
             1, "Size", [](Kinds&) { return std::int32_t(0); }, [](Kinds&, std::int32_t) {})
            .help("How big", 7);
        b.property(2, "Name", [](Kinds&) { return std::string(); }).asDefault();
        b.method(3, "Put", [](Kinds&, std::int32_t, Variant, Variant) {},
                 {"Port", pa::byRef("Out"), pa::optional("Extra")})
            .paramType("Port", "Ports");
        b.newEnum([](Kinds&) { return pa::EnumVariant::create({}); });
    }
};

TEST(Members, OneLinePerMemberWithKindSignatureAndHelp) {
    pa::TypeLibrary library;
    library.name = "KindsLib";
    library.interfaces.push_back(pa::describeInterface("IKinds", "", Kinds::classMap(), "Kinds"));
    pa::InterfaceInfo events{"IKindsEvents", "", "", 0, true, {}};
    pa::Member fired;
    fired.id = 1;
    fired.name = "Fired";
    fired.params = {{"Why", pa::TypeCode::String}};
    events.members.push_back(fired);
    library.interfaces.push_back(events);
    library.enums.push_back({"Ports", "", 0, {{"LPT1", 1, "", 0}, {"LPT2", 2, "", 0}}});
    pa::ClassInfo cls;
    cls.name = "Kinds";
    cls.defaultInterface = "IKinds";
    cls.sourceInterface = "IKindsEvents";

    EXPECT_EQ(memberLines(library, cls),
              (std::vector<std::string>{
                  "Interface IKinds  \"Kinds\"",
                  "      -4  method   _NewEnum() As Object (hidden)",
                  "       1  get/put  Size As Long  \"How big\" (7)",
                  "       2  get      Name As String (default)",
                  "       3  method   Put(Port As Ports, ByRef Out As Variant, [Extra As Variant])",
                  "Events IKindsEvents",
                  "       1  event    Fired(Why As String)",
                  "Constants Ports: LPT1 = 1, LPT2 = 2",
              }));
    cls.defaultInterface = "INone";
    cls.sourceInterface.clear();
    EXPECT_EQ(memberLines(library, cls)[0], "Interface INone: not described by KindsLib");
}

TEST(Results, CollectionsSummarizedForAList) {
    pa::Ref<Bag> bag(new Bag);
    EXPECT_EQ(summarizeValue(bag->get("Items")), "2 items: alpha, beta");
    bag->list->names.clear();
    EXPECT_EQ(summarizeValue(bag->get("Items")), "0 items");
    EXPECT_EQ(summarizeValue(Variant(true)), "True");
    EXPECT_EQ(resultLines(Variant()), std::vector<std::string>{});
    EXPECT_EQ(resultLines(Variant::fromStrings({"a", "b"})), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(errorLine(438, "Object doesn't support this property or method"),
              "error 438: Object doesn't support this property or method");
}

}  // namespace
