// Variant conversions, by-reference passing and equality.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "errorcode.h"
#include "platform/automation/automation.h"

namespace {

using namespace platform::automation;

TEST(Variant, IntegerConversionRoundsHalfToEven) {
    EXPECT_EQ(Variant(2.5).toInt32(), 2);
    EXPECT_EQ(Variant(3.5).toInt32(), 4);
    EXPECT_EQ(Variant(-2.5).toInt32(), -2);
    EXPECT_EQ(Variant(-3.5).toInt32(), -4);
    EXPECT_EQ(Variant(2.4999).toInt32(), 2);
    EXPECT_EQ(Variant(2.5001).toInt32(), 3);
    EXPECT_EQ(Variant("0.5").toInt16(), 0);
    EXPECT_EQ(Variant("1.5").toInt16(), 2);
    EXPECT_EQ(Variant(" 42 ").toInt32(), 42);
    EXPECT_EQ(Variant("&HFF").toInt32(), 255);
    EXPECT_EQ(Variant("&HFFFF").toInt32(), -1);
    EXPECT_EQ(Variant("-1e3").toInt32(), -1000);
    EXPECT_EQ(Variant(true).toInt32(), -1);
    EXPECT_EQ(Variant().toInt32(), 0);
}

TEST(Variant, IntegerConversionFailures) {
    EXPECT_EQ(codeOf([] { Variant(32767.5).toInt16(); }), error::Overflow);
    EXPECT_EQ(codeOf([] { Variant(40000).toInt16(); }), error::Overflow);
    EXPECT_EQ(codeOf([] { Variant(-32768.5).toInt16(); }), 0);  // rounds to -32768
    EXPECT_EQ(codeOf([] { Variant(3e9).toInt32(); }), error::Overflow);
    EXPECT_EQ(codeOf([] { Variant(std::nan("")).toInt32(); }), error::Overflow);
    for (const char* text : {"", "abc", "12abc", "inf", "nan", "0x10", "1e", "--1", "."})
        EXPECT_EQ(codeOf([&] { Variant(text).toInt32(); }), error::TypeMismatch) << text;
    EXPECT_EQ(codeOf([] { Variant::null().toInt32(); }), error::TypeMismatch);
    EXPECT_EQ(codeOf([] { Variant(Variant::Array{}).toInt32(); }), error::TypeMismatch);
    EXPECT_EQ(codeOf([] { Variant::missing().toInt32(); }), error::TypeMismatch);
}

TEST(Variant, BooleanConversion) {
    EXPECT_TRUE(Variant("True").toBool());
    EXPECT_TRUE(Variant("tRUE").toBool());
    EXPECT_FALSE(Variant("FALSE").toBool());
    EXPECT_TRUE(Variant("-1").toBool());
    EXPECT_TRUE(Variant("0.1").toBool());
    EXPECT_FALSE(Variant("0").toBool());
    EXPECT_TRUE(Variant(std::int16_t(2)).toBool());
    EXPECT_FALSE(Variant(0.0).toBool());
    EXPECT_FALSE(Variant().toBool());
    EXPECT_EQ(codeOf([] { Variant::null().toBool(); }), error::TypeMismatch);
    EXPECT_EQ(codeOf([] { Variant("yes").toBool(); }), error::TypeMismatch);
    EXPECT_EQ(codeOf([] { Variant(Variant::Array{Variant(1)}).toBool(); }), error::TypeMismatch);
}

TEST(Variant, StringAndDoubleConversion) {
    EXPECT_EQ(Variant(true).toString(), "True");
    EXPECT_EQ(Variant(false).toString(), "False");
    EXPECT_EQ(Variant(std::int16_t(-7)).toString(), "-7");
    EXPECT_EQ(Variant(2.5).toString(), "2.5");
    EXPECT_EQ(Variant(-0.0).toString(), "0");
    EXPECT_EQ(Variant(1.0 / 3).toString(), "0.333333333333333");
    EXPECT_EQ(Variant().toString(), "");
    EXPECT_EQ(codeOf([] { Variant::null().toString(); }), error::TypeMismatch);
    EXPECT_DOUBLE_EQ(Variant("2.75").toDouble(), 2.75);
    EXPECT_DOUBLE_EQ(Variant(false).toDouble(), 0);
    EXPECT_EQ(codeOf([] { Variant("1e999").toDouble(); }), error::TypeMismatch);
}

TEST(Variant, KindsAndPredicates) {
    EXPECT_TRUE(Variant().isEmpty());
    EXPECT_TRUE(Variant::null().isNull());
    EXPECT_TRUE(Variant::missing().isMissing());
    EXPECT_TRUE(Variant::nothing().isObject());
    EXPECT_TRUE(Variant::nothing().isNothing());
    EXPECT_FALSE(Variant().isNothing());
    EXPECT_EQ(Variant(1).kind(), Variant::Kind::Int32);
    EXPECT_EQ(Variant(std::int16_t(1)).kind(), Variant::Kind::Int16);
    const Variant strings = Variant::fromStrings({"a", "b"});
    ASSERT_TRUE(strings.isArray());
    EXPECT_EQ(strings.toStrings(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(codeOf([] { Variant("a").array(); }), error::TypeMismatch);
    EXPECT_EQ(codeOf([] { Variant(1).toObject(); }), error::ObjectRequired);
    EXPECT_FALSE(Variant::nothing().toObject());
}

TEST(Variant, ByReferenceWritesIntoTheCallersVariant) {
    Variant target("KTR:\\\\T");
    Variant ref = Variant::byRef(target);
    EXPECT_TRUE(ref.isByRef());
    EXPECT_EQ(ref.toString(), "KTR:\\\\T");
    Variant copy = ref;  // an argument copy still refers to the caller's Variant
    copy.store(Variant(5));
    EXPECT_EQ(target.kind(), Variant::Kind::Int32);
    EXPECT_EQ(ref.toInt32(), 5);

    Variant refToRef = Variant::byRef(ref);  // collapses to the final target
    refToRef.store(Variant("x"));
    EXPECT_EQ(target.toString(), "x");

    Variant plain(1);
    plain.store(Variant(2));
    EXPECT_EQ(plain.toInt32(), 2);

    // Storing a reference stores the value, never a reference to a reference.
    Variant other(9);
    copy.store(Variant::byRef(other));
    EXPECT_FALSE(target.isByRef());
    EXPECT_EQ(target.toInt32(), 9);
}

TEST(Variant, Equality) {
    EXPECT_EQ(Variant(1), Variant(1));
    EXPECT_NE(Variant(1), Variant(std::int16_t(1)));
    EXPECT_NE(Variant(), Variant::null());
    EXPECT_EQ(Variant::fromStrings({"a"}), Variant::fromStrings({"a"}));
    EXPECT_NE(Variant::fromStrings({"a"}), Variant::fromStrings({"A"}));
    Variant t(3);
    EXPECT_EQ(Variant::byRef(t), Variant(3));
}

// Pointers other than text must not turn into Booleans.
static_assert(!std::is_constructible_v<Variant, Object*>);
static_assert(!std::is_constructible_v<Variant, const int*>);
static_assert(std::is_constructible_v<Variant, char*>);

TEST(Variant, RoundHalfEven) {
    EXPECT_EQ(roundHalfEven(0.5), 0);
    EXPECT_EQ(roundHalfEven(1.5), 2);
    EXPECT_EQ(roundHalfEven(-1.5), -2);
    EXPECT_EQ(roundHalfEven(-0.5), 0);
    EXPECT_EQ(roundHalfEven(1e300), 1e300);
}

}  // namespace

namespace {

// "n0", "n1", ...; counts the elements read.
class Numbered : public platform::automation::LazyArray {
public:
    explicit Numbered(std::size_t n) : n_(n) {}
    std::size_t size() const override { return n_; }
    platform::automation::Variant at(std::size_t index) const override {
        ++reads;
        return platform::automation::Variant(std::string("n").append(std::to_string(index)));
    }
    mutable std::size_t reads = 0;

private:
    std::size_t n_;
};

}  // namespace

TEST(Variant, ALazyArrayIsReadElementByElementUntilItIsAskedForWhole) {
    using namespace platform::automation;
    auto items = std::make_shared<Numbered>(3);
    Variant lazy = Variant::lazyArray(items);
    EXPECT_TRUE(lazy.isArray());
    EXPECT_EQ(lazy.kind(), Variant::Kind::Array);
    EXPECT_EQ(lazy.arraySize(), 3u);
    EXPECT_EQ(lazy.arrayItem(2).toString(), "n2");
    EXPECT_EQ(items->reads, 1u) << "one element read, nothing else built";
    EXPECT_EQ(codeOf([&] { lazy.arrayItem(3); }), error::BadIndex);

    // Through a reference, and copied: the same elements.
    Variant ref = Variant::byRef(lazy);
    EXPECT_EQ(ref.arraySize(), 3u);
    const Variant copy = lazy;
    EXPECT_EQ(copy.toStrings(), (std::vector<std::string>{"n0", "n1", "n2"}));
    const std::size_t afterBuild = items->reads;
    EXPECT_EQ(lazy.array().size(), 3u);
    EXPECT_EQ(items->reads, afterBuild) << "the whole array is built once, for every copy";
    EXPECT_EQ(lazy, Variant::fromStrings({"n0", "n1", "n2"}));
    EXPECT_FALSE(lazy == Variant::fromStrings({"n0", "n1"}));

    // The element-wise reads work on held arrays too, and refuse the rest.
    const Variant held = Variant::fromStrings({"a"});
    EXPECT_EQ(held.arraySize(), 1u);
    EXPECT_EQ(held.arrayItem(0).toString(), "a");
    EXPECT_EQ(codeOf([] { Variant("text").arraySize(); }), error::TypeMismatch);
    EXPECT_EQ(codeOf([] { Variant().arrayItem(0); }), error::TypeMismatch);
}

namespace {

// "n0", "n1", ... in pages of three up to a total; more() adds one page.
class Paged : public platform::automation::LazyArray {
public:
    explicit Paged(std::size_t total) : total_(total) {}
    std::size_t size() const override { return read_; }
    platform::automation::Variant at(std::size_t index) const override {
        return platform::automation::Variant(std::string("n").append(std::to_string(index)));
    }
    bool complete() const override { return read_ == total_; }
    void readMore() const override { read_ = std::min(total_, read_ + 3); }

private:
    std::size_t total_;
    mutable std::size_t read_ = 3;
};

}  // namespace

TEST(Variant, AGrowingArrayIsReadOnOnlyWhenAskedOrWhenWantedWhole) {
    using namespace platform::automation;
    const Variant lazy = Variant::lazyArray(std::make_shared<Paged>(8));
    EXPECT_EQ(lazy.arraySize(), 3u);
    EXPECT_FALSE(lazy.arrayComplete());
    lazy.arrayReadMore();
    EXPECT_EQ(lazy.arraySize(), 6u);
    EXPECT_EQ(lazy.arrayItem(5).toString(), "n5");
    // Asked for whole, it reads to its end first.
    ASSERT_EQ(lazy.array().size(), 8u);
    EXPECT_EQ(lazy.array().back().toString(), "n7");
    EXPECT_TRUE(lazy.arrayComplete());

    const Variant held = Variant::fromStrings({"a"});
    EXPECT_TRUE(held.arrayComplete());
    held.arrayReadMore();
    EXPECT_EQ(held.arraySize(), 1u);
    EXPECT_EQ(codeOf([] { Variant("text").arrayComplete(); }), error::TypeMismatch);
}
