// Reading a directory from an LDIF file (RFC 2849) with libldap's LDIF
// reader. The file holds its schema in a subschema entry ("dn: cn=Subschema",
// attributes objectClasses and attributeTypes) that comes before every other
// entry; the entries follow, each after its parent (see builder.h for the
// rules they must keep). Only plain entries are read: change records,
// "include:" lines and values taken from URLs (":<") are refused, so that a
// data file never makes us read another file.
#pragma once

#include <filesystem>

#include "outside/directory/load.h"

namespace outside::directory {

LoadResult loadLdif(const std::filesystem::path& path);

}  // namespace outside::directory
