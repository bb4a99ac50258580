// Reading a directory from an LDIF file (RFC 2849). A file written for us
// holds its schema in a subschema entry ("dn: cn=Subschema", attributes
// objectClasses and attributeTypes) that comes before every other entry; the
// entries follow, each after its parent (see builder.h for the rules they
// must keep). An export of another server (no subschema entry first, or one
// whose classes carry no X-KTR-NAME) is read through a mapping (mapping.h):
// the configured one, else the standard one.
//
// Only plain entries are read: change records, "include:" lines and values
// taken from URLs (":<") are refused, so that a data file never makes us read
// another file. The file itself must be a regular file no larger than the
// limit; a FIFO or a device is refused before anything is read from it, so a
// load never blocks.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "outside/directory/load.h"

namespace outside::directory {

LoadResult loadLdif(const std::filesystem::path& path, const LoadLimits& limits = {});

// The same from text in memory; name stands for the file in messages.
LoadResult loadLdifText(std::string_view text, const std::string& name,
                        const MappingChoice& mapping = {});

// libldap's record parser prints its own complaint about a record it
// refuses on stderr, which the error of the load says again with file and
// line. A program that reports that error itself and reads on one thread
// (kddir-check) can have those lines dropped: while drop is set, stderr
// points to /dev/null during each call of the record parser, and only then,
// so that the process's own failures still reach it.
void dropLibldapRecordMessages(bool drop);

}  // namespace outside::directory
