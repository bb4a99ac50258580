// Finding the workstation a console was started for. tvn writes the
// workstation's dotted name (its levels leaf first, joined by dots) and the
// tree; a dot inside a name is kept as it is, so the dotted form cannot be
// reversed by splitting at every dot. The possible splits are tried against
// the directory, top down, each container only when the one above exists:
// every full name that exists is found, and a name that fits more than one
// entry is refused rather than guessed.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace outside::consoles {

// Whether the directory holds an entry of that full name; a failure to read
// the directory is thrown.
using EntryExists = std::function<bool(const std::string& fullName)>;

// Every full name ("KTR:\\Tree\Top\...\Leaf") whose dotted form is `dotted`,
// the deepest containers first (splits at more dots before fewer).
std::vector<std::string> fullNamesOf(const std::string& dotted, const std::string& tree,
                                     const EntryExists& exists);

// The address a console reaches a workstation at, from its "RJ:Network
// Address" values: the first "TCP a.b.c.d". Empty when there is none.
std::string tcpAddress(const std::vector<std::string>& values);

// Whether a host name or address may be given to a program as one: letters,
// digits, dots, hyphens and underscores (an IPv6 address: hex digits and
// colons), never beginning with a hyphen, which a program would read as an
// option.
bool isHostName(const std::string& host);

// The full name an alias's "Aliased Object Name" names: the value itself
// when it is a full name, else the levels of a DN ("cn=WS042,ou=Sales,
// o=Acme,dc=CorpTree" is KTR:\\CorpTree\Acme\Sales\WS042). Empty when it
// is neither.
std::string aliasTarget(const std::string& value);

// A workstation as the console uses it.
struct Workstation {
    std::string fullName;
    std::string name;  // its own, last level
    std::string address;
};

// Why the workstation cannot be reached; what() is the sentence for the window.
class LookupError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Through the directory control that tvn uses (KDDirLib.KDDirCtrl.1, created
// through the registry, with the source, mapping and binds configured for
// it): the one entry of that dotted name and its address. Throws LookupError.
Workstation findWorkstation(const std::string& dotted, const std::string& tree);

}  // namespace outside::consoles
