// Dispatch map tables: members sorted by DISPID for calls by number and by
// case-folded name for calls by name, so that a late-bound call costs two
// binary searches and no allocation.
#include "platform/automation/dispatch.h"

#include <algorithm>
#include <new>

namespace platform::automation {

namespace {

// Member names are ASCII identifiers; folding them inline keeps a name
// lookup free of locale calls.
inline unsigned char foldAscii(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u | 0x20) : u;
}

int compareNoCase(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = foldAscii(a[i]), y = foldAscii(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace

const char* memberKindName(MemberKind kind) noexcept {
    switch (kind) {
        case MemberKind::PropertyGet:
            return "property get";
        case MemberKind::PropertyPut:
            return "property put";
        case MemberKind::Method:
            return "method";
    }
    return "?";
}

const char* typeCodeName(TypeCode type) noexcept {
    switch (type) {
        case TypeCode::Void:
            return "void";
        case TypeCode::Variant:
            return "Variant";
        case TypeCode::Boolean:
            return "Boolean";
        case TypeCode::Int16:
            return "Integer";
        case TypeCode::Int32:
            return "Long";
        case TypeCode::Double:
            return "Double";
        case TypeCode::String:
            return "String";
        case TypeCode::Object:
            return "Object";
        case TypeCode::Array:
            return "Array";
    }
    return "?";
}

namespace detail {
void throwNotThatObject() {
    throw AutomationError::standard(error::TypeMismatch, "the object is not of the expected class");
}
}  // namespace detail

void DispatchMap::add(Member member) {
    if (sealed_) throw std::logic_error("dispatch map is sealed; cannot add '" + member.name + "'");
    if (!member.handler) throw std::logic_error("member '" + member.name + "' has no handler");
    bool optionalSeen = false;
    for (const auto& p : member.params) {
        if (optionalSeen && !p.optional)
            throw std::logic_error("member '" + member.name + "': required parameter '" + p.name +
                                   "' follows an optional one");
        optionalSeen = optionalSeen || p.optional;
    }
    for (const auto& m : members_) {
        const bool sameName = compareNoCase(m.name, member.name) == 0;
        if (m.id == member.id && !sameName)
            throw std::logic_error("DISPID " + std::to_string(member.id) + " used by '" + m.name +
                                   "' and '" + member.name + "'");
        if (sameName && m.id != member.id)
            throw std::logic_error("'" + member.name + "' declared with DISPIDs " +
                                   std::to_string(m.id) + " and " + std::to_string(member.id));
        if (m.id == member.id && m.kind == member.kind)
            throw std::logic_error("'" + member.name + "' declared twice as " +
                                   memberKindName(member.kind));
    }
    members_.push_back(std::move(member));
}

DispatchMap::Slot* DispatchMap::slot(DispId id) {
    auto it = std::lower_bound(slots_.begin(), slots_.end(), id,
                               [](const Slot& s, DispId i) { return s.id < i; });
    return it != slots_.end() && it->id == id ? &*it : nullptr;
}

const DispatchMap::Slot* DispatchMap::slot(DispId id) const {
    return const_cast<DispatchMap*>(this)->slot(id);
}

void DispatchMap::seal() {
    if (sealed_) return;
    // Default-member aliases are appended; the name table covers only the
    // members as declared, so a name keeps its own DISPID.
    const std::size_t declared = members_.size();
    for (std::size_t i = 0; i < declared; ++i) {
        if (!members_[i].isDefault || members_[i].id == DispIdValue) continue;
        Member alias = members_[i];
        alias.id = DispIdValue;
        alias.isDefault = false;
        alias.inTypeLibrary = false;
        for (const auto& m : members_)
            if (m.id == DispIdValue && m.kind == alias.kind)
                throw std::logic_error("'" + alias.name + "' made default, but DISPID 0 is '" +
                                       m.name + "'");
        members_.push_back(std::move(alias));
    }
    for (std::size_t i = 0; i < members_.size(); ++i) {
        const Member& m = members_[i];
        Slot* s = slot(m.id);
        if (!s) {
            auto it = std::lower_bound(slots_.begin(), slots_.end(), m.id,
                                       [](const Slot& x, DispId id) { return x.id < id; });
            s = &*slots_.insert(it, Slot{m.id});
        }
        int& index = m.kind == MemberKind::PropertyGet   ? s->get
                     : m.kind == MemberKind::PropertyPut ? s->put
                                                         : s->method;
        index = static_cast<int>(i);
    }
    for (std::size_t i = 0; i < declared; ++i) {
        const std::string_view name = members_[i].name;
        const bool known = std::any_of(names_.begin(), names_.end(), [&](const auto& n) {
            return compareNoCase(n.first, name) == 0;
        });
        if (!known) names_.emplace_back(name, members_[i].id);
    }
    std::sort(names_.begin(), names_.end(),
              [](const auto& a, const auto& b) { return compareNoCase(a.first, b.first) < 0; });
    sealed_ = true;
}

const Member* DispatchMap::find(DispId id, MemberKind kind) const {
    const Slot* s = slot(id);
    if (!s) return nullptr;
    const int index = kind == MemberKind::PropertyGet   ? s->get
                      : kind == MemberKind::PropertyPut ? s->put
                                                        : s->method;
    return index < 0 ? nullptr : &members_[static_cast<std::size_t>(index)];
}

std::optional<DispId> DispatchMap::dispId(std::string_view name) const {
    auto it = std::lower_bound(names_.begin(), names_.end(), name, [](const auto& n, auto key) {
        return compareNoCase(n.first, key) < 0;
    });
    if (it == names_.end() || compareNoCase(it->first, name) != 0) return std::nullopt;
    return it->second;
}

Variant DispatchMap::invoke(Object& self, DispId id, CallKind kind, const Args& args) const {
    const Slot* s = slot(id);
    if (!s) throw AutomationError::standard(error::MemberNotFound, "DISPID " + std::to_string(id));
    int index = -1;
    switch (kind) {
        case CallKind::Get:
            index = s->get >= 0 ? s->get : s->method;
            break;
        case CallKind::Method:
            index = s->method >= 0 ? s->method : s->get;
            break;
        case CallKind::Put:
            index = s->put;
            break;
    }
    if (index < 0) {
        const int any = s->get >= 0 ? s->get : s->put >= 0 ? s->put : s->method;
        const std::string& name = members_[static_cast<std::size_t>(any)].name;
        if (kind == CallKind::Put) throw AutomationError::standard(error::PropertyReadOnly, name);
        throw AutomationError::standard(error::PropertyWriteOnly, name);
    }
    const Member& m = members_[static_cast<std::size_t>(index)];
    if (args.size() > m.params.size())
        throw AutomationError::standard(error::WrongArgumentCount,
                                        m.name + " takes " + std::to_string(m.params.size()));
    for (std::size_t i = 0; i < args.size(); ++i)
        if (args[i].isMissing() && !m.params[i].optional)
            throw AutomationError::standard(error::ArgumentNotOptional,
                                            m.name + ": " + m.params[i].name);
    Args padded;
    if (args.size() < m.params.size()) {
        if (!m.params[args.size()].optional)
            throw AutomationError::standard(error::ArgumentNotOptional,
                                            m.name + ": " + m.params[args.size()].name);
        padded.reserve(m.params.size());
        padded = args;
        padded.resize(m.params.size(), Variant::missing());
    }
    try {
        return m.handler(self, args.size() < m.params.size() ? padded : args);
    } catch (const AutomationError&) {
        throw;
    } catch (const std::bad_alloc&) {
        throw AutomationError::standard(error::OutOfMemory, m.name);
    } catch (const std::exception& e) {
        // Components speak in codes; anything else becomes the generic failure.
        throw AutomationError::standard(error::AutomationFailure, m.name + ": " + e.what());
    }
}

const DispatchMap& DispatchMap::empty() {
    static const DispatchMap map = [] {
        DispatchMap m;
        m.seal();
        return m;
    }();
    return map;
}

template <typename F>
void MemberHandle::each(F f) {
    for (std::size_t i : indexes_) f(const_cast<Member&>(map_.members()[i]));
}

MemberHandle& MemberHandle::help(std::string text, int context) {
    each([&](Member& m) {
        m.helpString = text;
        m.helpContext = context;
    });
    return *this;
}

MemberHandle& MemberHandle::helpContext(int context) {
    each([&](Member& m) { m.helpContext = context; });
    return *this;
}

MemberHandle& MemberHandle::hidden() {
    each([](Member& m) { m.hidden = true; });
    return *this;
}

MemberHandle& MemberHandle::asDefault() {
    each([](Member& m) { m.isDefault = true; });
    return *this;
}

MemberHandle& MemberHandle::returns(std::string interfaceName) {
    each([&](Member& m) {
        if (m.kind != MemberKind::PropertyPut) m.typeName = interfaceName;
    });
    return *this;
}

MemberHandle& MemberHandle::paramType(std::string_view param, std::string typeName) {
    each([&](Member& m) {
        for (ParamInfo& p : m.params)
            if (p.name == param) {
                p.typeName = typeName;
                return;
            }
        throw std::logic_error("member '" + m.name + "' has no parameter '" + std::string(param) +
                               "'");
    });
    return *this;
}

MemberHandle& MemberHandle::notInTypeLibrary() {
    each([](Member& m) { m.inTypeLibrary = false; });
    return *this;
}

}  // namespace platform::automation
