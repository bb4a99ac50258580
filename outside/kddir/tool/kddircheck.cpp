// kddir-check [SOURCE]: loads a directory source as the directory control
// would (the same reader, rules, bind and size limit) and prints what it
// holds: trees, entries per class, layouts, load time and memory, and for a
// server the identity it saw. Without SOURCE it checks the source the
// control would take, and says where that came from. A source that the
// control could not use gives the reason, with file and line, on stderr.
// Exit status: 0 the source is usable, 1 it is not, 2 wrong usage.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "outside/directory/cache.h"
#include "outside/directory/ldif.h"
#include "outside/directory/source.h"
#include "outside/kddir/source.h"

namespace {

namespace dir = outside::directory;

int usage(std::FILE* to, int status) {
    std::fprintf(to,
                 "usage: kddir-check [SOURCE]\n"
                 "Loads a directory source (an LDIF file, or an LDAP server as\n"
                 "ldap[s]://host[:port][/base DN][?starttls], bound as the registry's\n"
                 "BindMethod says) as the directory control would and\n"
                 "prints its trees, entries per class, layouts, load time and memory, or the\n"
                 "error with file and line. Without SOURCE: the source the control would\n"
                 "take (KDDIR_SOURCE, your store, the machine's store, ldap.conf).\n"
                 "Exit status 0: usable, 1: not usable.\n");
    return status;
}

std::string bytes(std::uint64_t count) {
    const char* units[] = {"bytes", "KiB", "MiB", "GiB", "TiB"};
    double value = static_cast<double>(count);
    std::size_t unit = 0;
    while (value >= 1024 && unit + 1 < std::size(units)) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", value, units[unit]);
    return text;
}

std::string join(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& name : names) out += (out.empty() ? "" : ", ") + name;
    return out;
}

// limits: of a file; a server has none of ours. Answers whether the
// directory has users and workstations, as the program needs.
bool printSummary(const dir::Directory& d, double milliseconds,
                  const outside::kddir::SourceLimits* limits) {
    const dir::Schema& schema = d.schema();
    const outside::kddir::ConfiguredMapping mapping = outside::kddir::configuredMapping();
    std::size_t users = 0, workstations = 0;
    for (dir::EntryId id = 0; id < d.size(); ++id) {
        const std::string& cls = d.className(id);
        users += cls == "User";
        workstations += cls == "Workstation";
    }
    const bool complete = users > 0 && workstations > 0 && !d.trees().empty();
    std::printf("%s: %s\n", d.source().c_str(),
                complete ? "a usable directory" : "read, but not usable as it is");
    std::printf("Mapping: %s", schema.mappingName().c_str());
    if (mapping.origin == "default")
        std::printf(
            " (chosen by the schema; set KDDIR_MAPPING or the registry value %s\\%s to "
            "choose another)\n",
            outside::kddir::kSourceKey, outside::kddir::kMappingValue);
    else
        std::printf(" (%s is \"%s\")\n", mapping.origin.c_str(), mapping.value.c_str());

    std::map<dir::EntryId, std::size_t> perTree;
    std::vector<std::size_t> perClass(schema.classCount(), 0);
    for (dir::EntryId id = 0; id < d.size(); ++id) {
        ++perTree[d.treeOf(id)];
        ++perClass[d.classOf(id)];
    }
    std::printf("Trees: %zu\n", d.trees().size());
    for (const dir::EntryId tree : d.trees())
        std::printf("  %-30s %8zu entries\n", d.fullName(tree).c_str(), perTree[tree]);

    std::printf("Entries: %zu\n", d.size());
    std::vector<dir::ClassId> used;
    for (dir::ClassId c = 0; c < schema.classCount(); ++c)
        if (perClass[c]) used.push_back(c);
    std::stable_sort(used.begin(), used.end(),
                     [&](dir::ClassId a, dir::ClassId b) { return perClass[a] > perClass[b]; });
    for (const dir::ClassId c : used)
        std::printf("  %-30s %8zu\n", schema.objectClass(c).name.c_str(), perClass[c]);

    std::vector<dir::ClassId> layouts;
    for (dir::ClassId c = 0; c < schema.classCount(); ++c)
        if (schema.objectClass(c).named) layouts.push_back(c);
    std::printf("Layouts: %zu\n", layouts.size());
    for (const dir::ClassId c : layouts) {
        std::vector<std::string> fields;
        for (const dir::AttributeId a : schema.objectClass(c).fields)
            fields.push_back(schema.attribute(a).name);
        std::printf("  %s (%zu fields)%s%s\n", schema.objectClass(c).name.c_str(), fields.size(),
                    fields.empty() ? "" : ": ", join(fields).c_str());
    }
    std::vector<std::string> undeclared;
    for (dir::AttributeId a = 0; a < schema.attributeCount(); ++a)
        if (!schema.attribute(a).declared) undeclared.push_back(schema.attribute(a).name);
    std::printf("Field types: %zu", schema.attributeCount());
    if (!undeclared.empty())
        std::printf(" (used without a definition in the schema: %s)", join(undeclared).c_str());
    std::printf("\n");

    if (users == 0)
        std::printf(
            "Warning: no entry is a \"User\": the mapping %s names none of the classes of "
            "this directory's users\n",
            schema.mappingName().c_str());
    if (workstations == 0)
        std::printf(
            "Warning: no entry is a \"Workstation\": the mapping %s names none of the "
            "classes of this directory's workstations\n",
            schema.mappingName().c_str());

    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("Loaded in %.1f ms; the directory holds %s (peak memory of this check %s)\n",
                milliseconds, bytes(d.memoryUsage()).c_str(),
                bytes(static_cast<std::uint64_t>(usage.ru_maxrss) * 1024).c_str());
    if (!limits) return complete;
    std::printf("Size limit: %s", bytes(limits->limits.maxSourceBytes).c_str());
    if (!limits->ignoredValue.empty()) {
        std::printf(
            " (default; the registry value %s\\%s holds \"%s\", which is no number of "
            "bytes)",
            outside::kddir::kSourceKey, outside::kddir::kMaxSourceBytesValue,
            limits->ignoredValue.c_str());
    }
    std::printf("\n");
    return complete;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0))
        return usage(stdout, 0);
    if (argc > 2 || (argc == 2 && argv[1][0] == '\0')) return usage(stderr, 2);
    std::string source;
    if (argc == 2) {
        source = argv[1];
    } else {
        const auto configured = outside::kddir::configuredSourceAndOrigin();
        if (configured.value.empty()) {
            std::fprintf(stderr, "kddir-check: %s\n", outside::kddir::noSourceReason().c_str());
            return 1;
        }
        source = configured.value;
        std::printf("Source: %s (from %s)\n", source.c_str(), configured.origin.c_str());
    }
    const bool server = dir::isLdapLocation(source);
    const outside::kddir::ConfiguredBind bindMethod = outside::kddir::configuredBind();
    if (server && !bindMethod.ignoredValue.empty())
        std::fprintf(stderr,
                     "kddir-check: the registry value %s\\%s holds \"%s\", which is no bind "
                     "method (simple, gssapi, external); the simple bind is used\n",
                     outside::kddir::kSourceKey, outside::kddir::kBindMethodValue,
                     bindMethod.ignoredValue.c_str());
    const outside::kddir::SourceLimits limits = outside::kddir::configuredLimits();
    const auto start = std::chrono::steady_clock::now();
    dir::LoadResult result;
    bool limited = false;
    // libldap's complaint about a malformed record says what the error
    // printed below says with file and line; everything else that reaches
    // stderr while loading (an abort, a sanitizer's report) is kept.
    dir::dropLibldapRecordMessages(true);
    std::optional<std::string> boundAs;
    std::string seen;
    if (server) {
        const auto options = outside::kddir::configuredOptions();
        seen = "\x01";  // no answer yet
        result = dir::loadLdapDirectory(source, options, limited, &seen);
        if (seen != "\x01") boundAs = seen;
    } else {
        result = dir::DirectoryCache::instance().get(source, limits.limits);
    }
    const double milliseconds =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (!result.ok()) {
        std::fprintf(stderr, "kddir-check: %s\n", result.error.describe().c_str());
        const auto options = outside::kddir::configuredOptions();
        if (server && options.credentials.method == dir::BindMethod::Simple &&
            options.credentials.bindDn.empty() &&
            result.error.message.find("no directory tree") != std::string::npos)
            std::fprintf(stderr,
                         "kddir-check: an anonymous bind may not read this server; set the "
                         "registry values %s\\%s and %s\n",
                         outside::kddir::kSourceKey, outside::kddir::kBindDnValue,
                         outside::kddir::kBindPasswordValue);
        return 1;
    }
    if (limited) {
        std::fprintf(stderr,
                     "kddir-check: %s: The directory server returned only %zu of the entries; "
                     "the bind account needs a size limit (size.prtotal) that covers the "
                     "directory\n",
                     source.c_str(), result.directory->size());
        return 1;
    }
    const bool complete = printSummary(*result.directory, milliseconds, server ? nullptr : &limits);
    if (server) {
        std::printf("Bound: %s, as %s\n", dir::bindMethodName(bindMethod.method),
                    !boundAs           ? "(the server does not say who it sees)"
                    : boundAs->empty() ? "anonymous"
                                       : boundAs->c_str());
    }
    if (std::fflush(stdout) != 0) return 1;
    if (!complete) {
        std::fprintf(stderr,
                     "kddir-check: %s: no entry maps to \"User\" or to \"Workstation\"; choose "
                     "the mapping that fits this directory (KDDIR_MAPPING)\n",
                     source.c_str());
        return 1;
    }
    return 0;
}
