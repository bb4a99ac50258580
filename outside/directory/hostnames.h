// Host names of a mapping's `hostname` form turned into addresses: all names
// of one read are looked up at once, each given at most a second, and the
// answers kept for a few minutes, so that a list of workstations never
// waits on a name server that does not answer.
#pragma once

#include <string>
#include <vector>

namespace outside::directory {

// The IPv4 addresses of the names, each "TCP a.b.c.d", in the order of the
// names; a name that does not resolve in time gives none.
std::vector<std::string> tcpAddressesOf(const std::vector<std::string>& hostNames);

}  // namespace outside::directory
