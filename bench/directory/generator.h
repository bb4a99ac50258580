// Writes synthetic directories as LDIF for the benchmark: one tree of
// countries, organizations and organizational units holding users and
// workstations with realistic names and five attributes each, in our own
// classes (with the schema entry first) or in the standard LDAP classes as
// another server exports them (no schema entry).
#pragma once

#include <cstddef>
#include <filesystem>

namespace benchdir {

struct GeneratedShape {
    std::size_t entries = 0;
    std::size_t units = 0;  // organizational units (the containers of leaves)
    std::size_t users = 0;
    std::size_t workstations = 0;
};

enum class Flavour {
    Ktr,       // the subschema entry, then ktrUser and ktrWorkstation entries
    Standard,  // no schema entry; inetOrgPerson users, device and ipHost workstations
};

// Writes about `entries` entries (never fewer) to path; the tree is named
// "Bench". Both flavours hold the same entries under the same DNs. In the
// standard flavour a user also has a login name (uid) and a workstation's
// owner names the user written just before it, as a site's export would.
GeneratedShape writeDirectory(const std::filesystem::path& path, std::size_t entries,
                              Flavour flavour = Flavour::Ktr);

// A directory of one level of `workstations` workstations in the unit
// Hosts (o=Level,dc=Bench in the first two forms; OU=Hosts,OU=Level,@DOMAIN@
// in Active Directory's, for scripts/ad-demo), beside a unit People of the
// 100 users who own them. The workstations are named WS-00000, WS-00001, ...
enum class LevelForm { Ktr, Standard, ActiveDirectory };
GeneratedShape writeLevel(const std::filesystem::path& path, std::size_t workstations,
                          LevelForm form);

}  // namespace benchdir
