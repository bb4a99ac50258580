// Dispatch maps, late-bound calls, events and enumerators on objects defined
// in the test itself.
#include <gtest/gtest.h>

#include <functional>

#include "errorcode.h"
#include "platform/automation/automation.h"

namespace {

using namespace platform::automation;

class Account : public Dispatchable<Account> {
public:
    static void describe(MapBuilder<Account>& b) {
        b.property(1, "Balance", &Account::balance, &Account::setBalance).help("Money", 951);
        b.property(2, "Owner", &Account::owner).asDefault();
        b.method(3, "Deposit", &Account::deposit, {"Amount", optional("Times")});
        b.method(4, "Search", &Account::search,
                 {"Pattern", "Classes", "Scope", byRef("Context"), "Mode"});
        b.method(5, "Fail", [](Account&) -> Variant { throw std::runtime_error("disk on fire"); });
        b.method(6, "Self", [](Account& self) { return ref(&self); });
        b.method(7, "Take", &Account::take, {"Other"});
        b.property(8, "Secret", [](const Account&) { return std::string("s"); })
            .hidden()
            .notInTypeLibrary();
        b.method(9, "Greet", &Account::greet, {"Name"});
    }

    double balance() const { return balance_; }
    void setBalance(double value) { balance_ = value; }
    std::string owner() const { return "Ann"; }
    double deposit(double amount, std::optional<std::int32_t> times) {
        balance_ += amount * times.value_or(1);
        return balance_;
    }
    bool search(std::string pattern, Variant classes, std::int16_t scope, Variant context,
                std::int32_t mode) {
        lastCall = pattern + "|" + classes.toString() + "|" + std::to_string(scope) + "|" +
                   std::to_string(mode);
        context.store(Variant(context.toString() + "\\Found"));
        return true;
    }
    std::string take(Ref<Account> other) { return other ? other->owner() : "nobody"; }
    // A member taking its first parameter by reference is still a member.
    std::string greet(const std::string& name) const { return "Hello " + name; }

    std::string lastCall;

private:
    double balance_ = 0;
};

TEST(Dispatch, CallsByNameIgnoreCaseAndByDispId) {
    auto account = make<Account>();
    account->put("BALANCE", 10.5);
    EXPECT_EQ(account->get("balance").toDouble(), 10.5);
    EXPECT_EQ(account->invoke(1, CallKind::Get, {}).toDouble(), 10.5);
    EXPECT_EQ(account->dispId("dEpOsIt"), 3);
    EXPECT_EQ(account->call("Greet", {"Bo"}).toString(), "Hello Bo");
    EXPECT_EQ(account->call("Deposit", {Variant(2.0), Variant(3)}).toDouble(), 16.5);
    // An omitted optional argument, either left off or passed as Missing.
    EXPECT_EQ(account->call("Deposit", {Variant(1.0)}).toDouble(), 17.5);
    EXPECT_EQ(account->call("Deposit", {Variant(1.0), Variant::missing()}).toDouble(), 18.5);
    // Get and call are interchangeable, as late-bound callers use them.
    EXPECT_EQ(account->get("Deposit", {Variant(0.5)}).toDouble(), 19.0);
    EXPECT_EQ(account->invoke("Owner").toString(), "Ann");
}

TEST(Dispatch, DefaultMemberAnswersAsDispIdZeroAndInConversions) {
    auto account = make<Account>();
    EXPECT_EQ(account->value().toString(), "Ann");
    EXPECT_EQ(account->invoke(DispIdValue, CallKind::Get, {}).toString(), "Ann");
    EXPECT_EQ(Variant(account).toString(), "Ann");
    // The name keeps its own DISPID.
    EXPECT_EQ(account->dispId("Owner"), 2);
    EXPECT_EQ(codeOf([] { Variant::nothing().toString(); }), error::ObjectNotSet);
}

TEST(Dispatch, StandardErrorsOfCalls) {
    auto account = make<Account>();
    EXPECT_EQ(codeOf([&] { account->put("Owner", "Bob"); }), error::PropertyReadOnly);
    EXPECT_EQ(codeOf([&] { account->get("NoSuchThing"); }), error::MemberNotFound);
    EXPECT_EQ(codeOf([&] { account->invoke(99, CallKind::Method, {}); }), error::MemberNotFound);
    EXPECT_EQ(codeOf([&] { account->call("Deposit"); }), error::ArgumentNotOptional);
    EXPECT_EQ(codeOf([&] { account->call("Deposit", {Variant::missing()}); }),
              error::ArgumentNotOptional);
    EXPECT_EQ(codeOf([&] { account->call("Owner", {Variant(1)}); }), error::WrongArgumentCount);
    EXPECT_EQ(codeOf([&] { account->call("Deposit", {Variant("ten")}); }), error::TypeMismatch);
    EXPECT_EQ(codeOf([&] { account->call("Take", {Variant(5)}); }), error::ObjectRequired);
    EXPECT_FALSE(account->hasMember("Withdraw"));
    try {
        account->call("Fail");
        FAIL();
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.code(), error::AutomationFailure);
        EXPECT_NE(e.description().find("disk on fire"), std::string::npos);
    }
}

TEST(Dispatch, ByReferenceArgumentAndObjectArguments) {
    auto account = make<Account>();
    Variant context("KTR:\\\\T");
    EXPECT_TRUE(account->call("Search", {"ab*", "User, Workstation", 2, Variant::byRef(context), 1})
                    .toBool());
    EXPECT_EQ(account->lastCall, "ab*|User, Workstation|2|1");
    EXPECT_EQ(context.toString(), "KTR:\\\\T\\Found");
    // Passed by value, the caller's Variant stays as it was.
    account->call("Search", {"x", "", 1, context, 1});
    EXPECT_EQ(context.toString(), "KTR:\\\\T\\Found");

    auto other = make<Account>();
    EXPECT_EQ(account->call("Take", {Variant(other)}).toString(), "Ann");
    EXPECT_EQ(account->call("Take", {Variant::nothing()}).toString(), "nobody");
}

TEST(Dispatch, ObjectsHandOutReferencesToThemselves) {
    auto account = make<Account>();
    EXPECT_EQ(account->refCount(), 1);
    {
        Variant self = account->call("Self");
        EXPECT_EQ(self.objectValue(), account.get());
        EXPECT_EQ(account->refCount(), 2);
    }
    EXPECT_EQ(account->refCount(), 1);
    // Objects of a program belong to no server module.
    EXPECT_EQ(account->module(), nullptr);
}

TEST(Dispatch, MapDescribesMembers) {
    const DispatchMap& map = Account::classMap();
    const Member* balance = map.find(1, MemberKind::PropertyPut);
    ASSERT_NE(balance, nullptr);
    EXPECT_EQ(balance->helpString, "Money");
    EXPECT_EQ(balance->helpContext, 951);
    const Member* search = map.find(4, MemberKind::Method);
    ASSERT_NE(search, nullptr);
    ASSERT_EQ(search->params.size(), 5u);
    EXPECT_TRUE(search->params[3].byRef);
    EXPECT_EQ(search->params[2].type, TypeCode::Int16);
    EXPECT_EQ(search->type, TypeCode::Boolean);
    const Member* deposit = map.find(3, MemberKind::Method);
    EXPECT_TRUE(deposit->params[1].optional);

    const InterfaceInfo info = describeInterface("IAccount", "", map);
    EXPECT_EQ(findMember(info, "Secret", MemberKind::PropertyGet), nullptr);
    EXPECT_NE(findMember(info, "owner", MemberKind::PropertyGet), nullptr);
    // The default alias is not listed twice.
    EXPECT_EQ(std::count_if(info.members.begin(), info.members.end(),
                            [](const Member& m) { return m.name == "Owner"; }),
              1);
}

struct Clash1 : Dispatchable<Clash1> {
    static void describe(MapBuilder<Clash1>& b) {
        b.method(1, "A", [](Clash1&) {});
        b.method(1, "B", [](Clash1&) {});
    }
};
struct Clash2 : Dispatchable<Clash2> {
    static void describe(MapBuilder<Clash2>& b) {
        b.method(1, "A", [](Clash2&) {});
        b.method(2, "a", [](Clash2&) {});
    }
};
struct Clash3 : Dispatchable<Clash3> {
    static void describe(MapBuilder<Clash3>& b) {
        b.method(1, "A", [](Clash3&, std::int32_t) {}, {"X", "Y"});
    }
};
struct Clash4 : Dispatchable<Clash4> {
    static void describe(MapBuilder<Clash4>& b) {
        b.method(1, "A", [](Clash4&, std::int32_t) {}, {optional("X")});
    }
};
struct Clash5 : Dispatchable<Clash5> {
    static void describe(MapBuilder<Clash5>& b) {
        b.method(0, "Value", [](Clash5&) {});
        b.method(1, "A", [](Clash5&) {}).asDefault();
    }
};

TEST(Dispatch, MistakesInADescriptionAreRefused) {
    EXPECT_THROW(Clash1::classMap(), std::logic_error);  // one DISPID, two names
    EXPECT_THROW(Clash2::classMap(), std::logic_error);  // one name, two DISPIDs
    EXPECT_THROW(Clash3::classMap(), std::logic_error);  // names do not match the parameters
    EXPECT_THROW(Clash4::classMap(), std::logic_error);  // optional int cannot be omitted
    EXPECT_THROW(Clash5::classMap(), std::logic_error);  // two default members
}

class Source : public Dispatchable<Source> {
public:
    static constexpr const char* kEvents = "{11111111-2222-3333-4444-555555555555}";
    static void describe(MapBuilder<Source>&) {}
    Source() : events_({kEvents, "IOther"}) {}
    EventSource* events() noexcept override { return &events_; }
    EventSource events_;
};

class Sink : public Dispatchable<Sink> {
public:
    static void describe(MapBuilder<Sink>& b) {
        b.method(1, "SearchCompleted", &Sink::completed, {"Results"});
    }
    void completed(Variant results) { heard.push_back(results.toStrings().size()); }
    std::vector<std::size_t> heard;
};

TEST(Events, LambdaAndObjectSinksHearTheirInterface) {
    auto source = make<Source>();
    std::vector<std::string> lambdaHeard;  // event DISPID and its first argument
    const Cookie c1 = advise(*source, [&](DispId id, const Args& args) {
        lambdaHeard.push_back(std::to_string(id) + ":" + args.at(0).toStrings().at(0));
    });
    auto sink = make<Sink>();
    const Cookie c2 = advise(*source, sink, "{11111111-2222-3333-4444-555555555555}");
    EXPECT_NE(c1, c2);
    int otherHeard = 0;
    advise(
        *source, [&](DispId, const Args&) { ++otherHeard; }, "iother");

    source->events_.fire(Source::kEvents, 1, {Variant::fromStrings({"KTR:\\\\T\\A", "b"})});
    EXPECT_EQ(lambdaHeard, std::vector<std::string>{"1:KTR:\\\\T\\A"});
    EXPECT_EQ(sink->heard, std::vector<std::size_t>{2});
    EXPECT_EQ(otherHeard, 0);
    // An event the sink has no member for passes it by.
    source->events_.fire(Source::kEvents, 2, {Variant::fromStrings({"y"})});
    EXPECT_EQ(sink->heard.size(), 1u);
    EXPECT_EQ(lambdaHeard.size(), 2u);

    EXPECT_TRUE(unadvise(*source, c2));
    EXPECT_FALSE(unadvise(*source, c2));
    source->events_.fire(Source::kEvents, 1, {Variant::fromStrings({"x"})});
    EXPECT_EQ(sink->heard.size(), 1u);
    EXPECT_EQ(lambdaHeard.size(), 3u);
    EXPECT_EQ(sink->refCount(), 1);  // the source let go of the sink
}

TEST(Events, SinksMayUnadviseWhileFiringAndBadInterfacesAreRefused) {
    auto source = make<Source>();
    int first = 0, second = 0;
    Cookie c1 = 0;
    c1 = advise(*source, [&](DispId, const Args&) {
        ++first;
        source->events_.unadvise(c1);
    });
    advise(*source, [&](DispId, const Args&) { ++second; });
    source->events_.fire({}, 1);
    source->events_.fire({}, 1);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 2);
    EXPECT_EQ(source->events_.sinkCount(), 1u);

    EXPECT_EQ(codeOf([&] {
                  advise(
                      *source, [](DispId, const Args&) {}, "INope");
              }),
              error::NoSuchEventInterface);
    auto sink = make<Sink>();
    EXPECT_EQ(codeOf([&] { advise(*sink, [](DispId, const Args&) {}); }),
              error::NoSuchEventInterface);
    EXPECT_EQ(codeOf([&] { advise(*source, Ref<Object>()); }), error::ObjectRequired);
}

TEST(Events, ASinkErrorReachesTheFiringCode) {
    auto source = make<Source>();
    advise(*source, [](DispId, const Args&) { throw AutomationError(601, "no such object"); });
    EXPECT_EQ(codeOf([&] { source->events_.fire({}, 1); }), 601);
}

Variant::Array numbers(int n) {
    Variant::Array items;
    for (int i = 0; i < n; ++i) items.emplace_back(i);
    return items;
}

TEST(Enumerator, NextBeyondTheEndHandsOutWhatIsLeft) {
    auto e = EnumVariant::create(numbers(3));
    Variant::Array out;
    EXPECT_TRUE(e->next(2, out));
    EXPECT_EQ(out, numbers(2));
    EXPECT_FALSE(e->next(5, out));  // only one left
    EXPECT_EQ(out, numbers(3));
    EXPECT_FALSE(e->next(1, out));
    EXPECT_EQ(out.size(), 3u);
    EXPECT_TRUE(e->next(0, out));
    e->reset();
    out.clear();
    EXPECT_TRUE(e->next(3, out));
    EXPECT_EQ(out, numbers(3));
}

TEST(Enumerator, SkipAndCloneIndependence) {
    auto e = EnumVariant::create(numbers(4));
    EXPECT_TRUE(e->skip(1));
    auto c = e->clone();
    EXPECT_EQ(c->position(), 1u);
    Variant::Array fromClone, fromOriginal;
    EXPECT_TRUE(c->next(2, fromClone));
    EXPECT_EQ(fromClone, (Variant::Array{Variant(1), Variant(2)}));
    EXPECT_EQ(e->position(), 1u);  // the original did not move
    EXPECT_FALSE(e->skip(10));     // moves to the end
    EXPECT_EQ(e->position(), 4u);
    EXPECT_FALSE(e->next(1, fromOriginal));
    EXPECT_TRUE(fromOriginal.empty());
    // The clone outlives the original and still has the shared items.
    e.reset();
    EXPECT_TRUE(c->next(1, fromClone));
    EXPECT_EQ(fromClone.back(), Variant(3));
}

class Numbers : public Dispatchable<Numbers> {
public:
    static void describe(MapBuilder<Numbers>& b) {
        b.newEnum([](Numbers&) { return EnumVariant::create(numbers(3)); });
    }
};

TEST(Enumerator, EnumerateWalksACollection) {
    auto n = make<Numbers>();
    EXPECT_EQ(enumerate(*n), numbers(3));
    auto account = make<Account>();
    EXPECT_EQ(codeOf([&] { enumerate(*account); }), error::MemberNotFound);
}

}  // namespace
