// Dispatch maps: the members an automation class answers by name and DISPID,
// with what a type library tells about them (kind, parameters, types, help
// string and context, hidden). A class declares its map once, in a static
// `describe` function, through MapBuilder: member functions or lambdas with
// ordinary C++ parameter and result types, converted from and to Variants
// here, so that a member cannot be called with arguments it does not expect.
//
//     class Counter : public Dispatchable<Counter> {
//     public:
//         static void describe(MapBuilder<Counter>& b) {
//             b.property(1, "Count", &Counter::count, &Counter::setCount).help("Items", 10);
//             b.property(2, "Name", &Counter::name);                     // read only
//             b.method(3, "Add", &Counter::add, {"Value", optional("Times")});
//             b.getter(4, "Item", &Counter::item, {"Index"}).asDefault();
//         }
//         ...
//     };
//
// Parameters may be bool, std::int16_t, std::int32_t, double, std::string,
// Variant::Array, Ref<T> or Variant, and std::optional<> of these for
// optional ones. A by-reference parameter is taken as a Variant (by value):
// its store() writes into the caller's Variant.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/automation/error.h"
#include "platform/automation/object.h"

namespace platform::automation {

enum class MemberKind { PropertyGet, PropertyPut, Method };
// Declared types, as a type library states them.
enum class TypeCode { Void, Variant, Boolean, Int16, Int32, Double, String, Object, Array };

const char* typeCodeName(TypeCode type) noexcept;
const char* memberKindName(MemberKind kind) noexcept;

struct ParamInfo {
    std::string name;
    TypeCode type = TypeCode::Variant;
    bool optional = false;
    bool byRef = false;
    // The type library's own type of the parameter (an enumeration such as a
    // set of constants), when declared; `type` is how its values travel.
    std::string typeName = {};
};

// Gets exactly params.size() arguments: omitted optional ones arrive as Missing.
using Handler = std::function<Variant(Object& self, const Args& args)>;

struct Member {
    DispId id = 0;
    std::string name;
    MemberKind kind = MemberKind::Method;
    TypeCode type = TypeCode::Void;
    std::string typeName;  // the interface of an object result, when declared
    std::vector<ParamInfo> params;
    std::string helpString;
    int helpContext = 0;
    bool hidden = false;
    bool inTypeLibrary = true;
    bool isDefault = false;  // also answers as DISPID 0
    Handler handler;
};

class DispatchMap {
public:
    DispatchMap() = default;

    // Adds a member; raises std::logic_error when it clashes with the map
    // (a DISPID under two names, a name under two DISPIDs, a kind twice).
    void add(Member member);
    // Builds the lookup tables; the map is read only afterwards.
    void seal();

    const std::vector<Member>& members() const { return members_; }
    const Member* find(DispId id, MemberKind kind) const;
    std::optional<DispId> dispId(std::string_view name) const;

    // Checks the arguments against the member's parameters and runs it.
    Variant invoke(Object& self, DispId id, CallKind kind, const Args& args) const;

    static const DispatchMap& empty();

private:
    struct Slot {
        DispId id;
        int get = -1, put = -1, method = -1;
    };
    Slot* slot(DispId id);
    const Slot* slot(DispId id) const;

    std::vector<Member> members_;
    std::vector<Slot> slots_;                                 // sorted by DISPID
    std::vector<std::pair<std::string_view, DispId>> names_;  // sorted, case folded
    bool sealed_ = false;
};

// Parameter declarations for MapBuilder: a plain name, or one of these.
struct Param {
    Param(const char* name) : name(name) {}
    Param(std::string name) : name(std::move(name)) {}
    std::string name;
    bool optional = false;
    bool byRef = false;
};
inline Param optional(std::string name) {
    Param p(std::move(name));
    p.optional = true;
    return p;
}
inline Param byRef(std::string name) {
    Param p(std::move(name));
    p.byRef = true;
    return p;
}

namespace detail {

template <typename T>
struct IsOptional : std::false_type {};
template <typename T>
struct IsOptional<std::optional<T>> : std::true_type {};
template <typename T>
struct IsRef : std::false_type {};
template <typename T>
struct IsRef<Ref<T>> : std::true_type {};

[[noreturn]] void throwNotThatObject();

// Conversion of one argument to the parameter type of a member.
template <typename T>
struct Arg {
    static_assert(sizeof(T) == 0, "unsupported parameter type of an automation member");
};
template <>
struct Arg<Variant> {
    static constexpr TypeCode type = TypeCode::Variant;
    static Variant from(const Variant& v) { return v; }
};
template <>
struct Arg<bool> {
    static constexpr TypeCode type = TypeCode::Boolean;
    static bool from(const Variant& v) { return v.toBool(); }
};
template <>
struct Arg<std::int16_t> {
    static constexpr TypeCode type = TypeCode::Int16;
    static std::int16_t from(const Variant& v) { return v.toInt16(); }
};
template <>
struct Arg<std::int32_t> {
    static constexpr TypeCode type = TypeCode::Int32;
    static std::int32_t from(const Variant& v) { return v.toInt32(); }
};
template <>
struct Arg<double> {
    static constexpr TypeCode type = TypeCode::Double;
    static double from(const Variant& v) { return v.toDouble(); }
};
template <>
struct Arg<std::string> {
    static constexpr TypeCode type = TypeCode::String;
    static std::string from(const Variant& v) { return v.toString(); }
};
template <>
struct Arg<Variant::Array> {
    static constexpr TypeCode type = TypeCode::Array;
    static Variant::Array from(const Variant& v) { return v.array(); }
};
template <typename T>
struct Arg<Ref<T>> {
    static constexpr TypeCode type = TypeCode::Object;
    static Ref<T> from(const Variant& v) {
        Ref<Object> object = v.toObject();
        if constexpr (std::is_same_v<T, Object>) {
            return object;
        } else {
            if (!object) return {};
            auto* typed = dynamic_cast<T*>(object.get());
            if (!typed) throwNotThatObject();
            return Ref<T>(typed);
        }
    }
};
template <typename T>
struct Arg<std::optional<T>> {
    static constexpr TypeCode type = Arg<T>::type;
    static std::optional<T> from(const Variant& v) {
        if (v.isMissing()) return std::nullopt;
        return Arg<T>::from(v);
    }
};

// Conversion of a member's result to a Variant.
template <typename R>
struct Result {
    static constexpr TypeCode type = Arg<R>::type;
};
template <>
struct Result<void> {
    static constexpr TypeCode type = TypeCode::Void;
};
template <>
struct Result<const char*> {
    static constexpr TypeCode type = TypeCode::String;
};
template <>
struct Result<std::vector<std::string>> {
    static constexpr TypeCode type = TypeCode::Array;
};

inline Variant toVariant(std::vector<std::string> v) {
    return Variant::fromStrings(v);
}
template <typename R>
Variant toVariant(R&& r) {
    return Variant(std::forward<R>(r));
}

// The parts of a callable: member function pointers of T, or functions and
// lambdas whose first parameter is the object (T& or const T&).
// A lambda's call operator, told apart from member function pointers so
// that a member whose first parameter is a reference is not taken for a
// lambda receiving the object.
template <typename M>
struct LambdaCallable;
template <typename F>
struct Callable : LambdaCallable<decltype(&F::operator())> {};
template <typename R, typename... A>
struct Signature {
    using Result = R;
    using Params = std::tuple<A...>;
    static constexpr std::size_t arity = sizeof...(A);
};
template <typename R, typename C, typename... A>
struct Callable<R (C::*)(A...)> : Signature<R, A...> {
    using Class = C;
};
template <typename R, typename C, typename... A>
struct Callable<R (C::*)(A...) const> : Signature<R, A...> {
    using Class = C;
};
template <typename R, typename C, typename... A>
struct Callable<R (C::*)(A...) noexcept> : Signature<R, A...> {
    using Class = C;
};
template <typename R, typename C, typename... A>
struct Callable<R (C::*)(A...) const noexcept> : Signature<R, A...> {
    using Class = C;
};
template <typename R, typename S, typename... A>
struct Callable<R (*)(S&, A...)> : Signature<R, A...> {
    using Class = std::remove_const_t<S>;
};
// A lambda's call operator: drop the closure and take the object parameter.
template <typename L, typename R, typename S, typename... A>
struct LambdaCallable<R (L::*)(S&, A...) const> : Signature<R, A...> {
    using Class = std::remove_const_t<S>;
};
template <typename L, typename R, typename S, typename... A>
struct LambdaCallable<R (L::*)(S&, A...)> : Signature<R, A...> {
    using Class = std::remove_const_t<S>;
};

template <typename P>
using ArgOf = Arg<std::remove_cvref_t<P>>;

template <typename T, typename F, std::size_t... I>
Variant callWith(F& f, T& self, const Args& args, std::index_sequence<I...>) {
    using C = Callable<F>;
    using R = typename C::Result;
    (void)args;
    auto run = [&]() -> decltype(auto) {
        if constexpr (std::is_member_function_pointer_v<F>)
            return (self.*f)(ArgOf<std::tuple_element_t<I, typename C::Params>>::from(args[I])...);
        else
            return f(self, ArgOf<std::tuple_element_t<I, typename C::Params>>::from(args[I])...);
    };
    if constexpr (std::is_void_v<R>) {
        run();
        return Variant();
    } else {
        return toVariant(run());
    }
}

template <typename T, typename F>
Handler makeHandler(F f) {
    using C = Callable<F>;
    static_assert(std::is_base_of_v<typename C::Class, T>,
                  "a member of the dispatch map must act on the class being described");
    return [f = std::move(f)](Object& self, const Args& args) mutable -> Variant {
        return callWith<T>(f, static_cast<T&>(self), args, std::make_index_sequence<C::arity>{});
    };
}

template <typename F, std::size_t... I>
std::vector<ParamInfo> paramInfos(const std::vector<Param>& names, std::index_sequence<I...>) {
    using C = Callable<F>;
    (void)names;
    std::vector<ParamInfo> out;
    ((out.push_back({names[I].name, ArgOf<std::tuple_element_t<I, typename C::Params>>::type,
                     names[I].optional, names[I].byRef})),
     ...);
    // Only parameters that can represent "omitted" may be optional.
    constexpr bool canOmit[] = {
        false,
        (IsOptional<std::remove_cvref_t<std::tuple_element_t<I, typename C::Params>>>::value ||
         std::is_same_v<std::remove_cvref_t<std::tuple_element_t<I, typename C::Params>>,
                        Variant>)...};
    for (std::size_t i = 0; i < out.size(); ++i)
        if (out[i].optional && !canOmit[i + 1])
            throw std::logic_error("optional parameter '" + out[i].name +
                                   "' needs std::optional<> or Variant");
    return out;
}

}  // namespace detail

// Adjusts the member(s) just added to a map.
class MemberHandle {
public:
    MemberHandle(DispatchMap& map, std::vector<std::size_t> indexes)
        : map_(map), indexes_(std::move(indexes)) {}
    MemberHandle& help(std::string text, int context = 0);
    MemberHandle& helpContext(int context);
    MemberHandle& hidden();
    // The member also answers as DISPID 0, the default member.
    MemberHandle& asDefault();
    // Names the interface of an object result (type library only).
    MemberHandle& returns(std::string interfaceName);
    // Names the type-library type of a parameter (an enumeration); raises
    // std::logic_error when the member has no parameter of that name.
    MemberHandle& paramType(std::string_view param, std::string typeName);
    // The member answers at run time but a type library does not list it.
    MemberHandle& notInTypeLibrary();

private:
    template <typename F>
    void each(F f);
    DispatchMap& map_;
    std::vector<std::size_t> indexes_;
};

template <typename T>
class MapBuilder {
public:
    explicit MapBuilder(DispatchMap& map) : map_(map) {}

    // A read-only property; a put is refused with PropertyReadOnly.
    template <typename G>
    MemberHandle property(DispId id, std::string name, G get) {
        return add(id, std::move(name), MemberKind::PropertyGet, std::move(get), {});
    }
    // A read/write property: the getter takes no arguments, the setter one.
    template <typename G, typename S>
    MemberHandle property(DispId id, std::string name, G get, S set) {
        static_assert(detail::Callable<S>::arity == 1, "a property setter takes the new value");
        add(id, name, MemberKind::PropertyGet, std::move(get), {});
        add(id, std::move(name), MemberKind::PropertyPut, std::move(set), {Param("Value")});
        const std::size_t put = map_.members().size() - 1;
        return MemberHandle(map_, {put - 1, put});
    }
    // A property read with arguments (`Item(Index)`).
    template <typename G>
    MemberHandle getter(DispId id, std::string name, G get, std::vector<Param> params) {
        return add(id, std::move(name), MemberKind::PropertyGet, std::move(get), std::move(params));
    }
    template <typename F>
    MemberHandle method(DispId id, std::string name, F fn, std::vector<Param> params = {}) {
        return add(id, std::move(name), MemberKind::Method, std::move(fn), std::move(params));
    }
    // `_NewEnum`: a hidden method with DISPID -4 that returns an enumerator.
    template <typename F>
    MemberHandle newEnum(F fn) {
        return method(DispIdNewEnum, "_NewEnum", std::move(fn)).hidden();
    }

private:
    template <typename F>
    MemberHandle add(DispId id, std::string name, MemberKind kind, F fn,
                     std::vector<Param> params) {
        using C = detail::Callable<F>;
        if (params.size() != C::arity)
            throw std::logic_error("member '" + name + "' declares " +
                                   std::to_string(params.size()) + " parameter names for " +
                                   std::to_string(C::arity) + " parameters");
        Member m;
        m.id = id;
        m.name = std::move(name);
        m.kind = kind;
        m.type = detail::Result<std::remove_cvref_t<typename C::Result>>::type;
        m.params = detail::paramInfos<F>(params, std::make_index_sequence<C::arity>{});
        m.handler = detail::makeHandler<T>(std::move(fn));
        map_.add(std::move(m));
        return MemberHandle(map_, {map_.members().size() - 1});
    }

    DispatchMap& map_;
};

// Base for classes with a dispatch map built by `static void describe(MapBuilder<Derived>&)`.
// The map is built once, on first use, and shared by all instances.
template <typename Derived, typename Base = Object>
class Dispatchable : public Base {
public:
    const DispatchMap& dispatchMap() const override { return classMap(); }

    static const DispatchMap& classMap() {
        static const DispatchMap map = [] {
            DispatchMap m;
            MapBuilder<Derived> builder(m);
            Derived::describe(builder);
            m.seal();
            return m;
        }();
        return map;
    }

protected:
    Dispatchable() = default;
    template <typename... A>
    explicit Dispatchable(A&&... args) : Base(std::forward<A>(args)...) {}
};

}  // namespace platform::automation
