// The synthetic directory: a fixed container skeleton (4 countries x 10
// organizations x 25 units) and leaves spread evenly over the units. User
// names are surname + initial + number, as administrators name accounts.
#include "generator.h"

#include <array>
#include <cstdio>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace benchdir {
namespace {

constexpr std::array kSurnames = {
    "Smith",      "Johnson",    "Williams",  "Brown",    "Jones",    "Miller",   "Davis",
    "Garcia",     "Wilson",     "Anderson",  "Taylor",   "Thomas",   "Moore",    "Martin",
    "Jackson",    "White",      "Harris",    "Clark",    "Lewis",    "Robinson", "Walker",
    "Young",      "Allen",      "King",      "Wright",   "Scott",    "Hill",     "Green",
    "Adams",      "Baker",      "Nelson",    "Carter",   "Mitchell", "Roberts",  "Turner",
    "Phillips",   "Campbell",   "Parker",    "Evans",    "Edwards",  "Collins",  "Stewart",
    "Morris",     "Murphy",     "Cook",      "Rogers",   "Morgan",   "Cooper",   "Peterson",
    "Reed",       "Bailey",     "Bell",      "Kelly",    "Howard",   "Ward",     "Cox",
    "Schmidt",    "Schneider",  "Fischer",   "Weber",    "Meyer",    "Wagner",   "Becker",
    "Hoffmann",   "Koch",       "Richter",   "Klein",    "Wolf",     "Neumann",  "Schwarz",
    "Zimmermann", "Braun",      "Hofmann",   "Hartmann", "Lange",    "Werner",   "Krause",
    "Lehmann",    "Köhler",     "Müller",    "Dubois",   "Lefèvre",  "Moreau",   "Laurent",
    "Girard",     "Rousseau",   "Fournier",  "Lambert",  "Rossi",    "Russo",    "Ferrari",
    "Esposito",   "Bianchi",    "Romano",    "Colombo",  "Ricci",    "Jansen",   "de Vries",
    "Bakker",     "Visser",     "Smit",      "Meijer",   "Mulder",   "Bos",      "Nowak",
    "Kowalski",   "Wiśniewski", "Lindqvist", "Nilsson",  "Larsen",   "Hansen",   "Virtanen"};
constexpr std::array kGivenNames = {
    "Anna",   "Ben",   "Clara", "David", "Emma",  "Felix", "Greta",  "Hugo",  "Ida",   "Jonas",
    "Karla",  "Lukas", "Mia",   "Noah",  "Olga",  "Paul",  "Quinn",  "Rosa",  "Sven",  "Tanja",
    "Ulrich", "Vera",  "Willi", "Xenia", "Yusuf", "Zoe",   "Élodie", "Søren", "Ángel", "Łukasz"};
constexpr std::array kTitles = {"Engineer", "Accountant", "Sales Representative",
                                "Manager",  "Technician", "Consultant",
                                "Analyst",  "Assistant",  "Developer",
                                "Buyer"};
constexpr std::array kDescriptions = {"Desktop PC",      "Laptop in docking station",
                                      "CAD workstation", "Reception desk",
                                      "Meeting room PC", "Thin client"};
constexpr std::array kCountries = {"DE", "FR", "NL", "SE"};
constexpr std::array kUnitNames = {"Sales",    "Finance",  "IT",         "Marketing", "Logistics",
                                   "Research", "Legal",    "Purchasing", "Support",   "Production",
                                   "Quality",  "Training", "Facilities", "Security",  "Design",
                                   "Planning", "Service",  "Export",     "Import",    "Archive",
                                   "Audit",    "Payroll",  "Press",      "Board",     "Warehouse"};
constexpr std::size_t kOrganizations = 10;

constexpr const char* kSchema = R"(dn: cn=Subschema
objectClass: top
objectClass: subschema
attributeTypes: ( 2.5.4.0 NAME 'objectClass' SYNTAX 1.3.6.1.4.1.1466.115.121.1.38 )
attributeTypes: ( 0.9.2342.19200300.100.1.25 NAME 'dc' SINGLE-VALUE )
attributeTypes: ( 2.5.4.6 NAME 'c' X-KTR-NAME 'Country Name' )
attributeTypes: ( 2.5.4.10 NAME 'o' X-KTR-NAME 'Organization Name' )
attributeTypes: ( 2.5.4.11 NAME 'ou' X-KTR-NAME 'Organizational Unit Name' )
attributeTypes: ( 2.5.4.3 NAME 'cn' X-KTR-NAME 'CN' )
attributeTypes: ( 2.5.4.4 NAME 'surname' X-KTR-NAME 'Surname' )
attributeTypes: ( 2.5.4.42 NAME 'givenName' X-KTR-NAME 'Given Name' )
attributeTypes: ( 2.5.4.12 NAME 'title' X-KTR-NAME 'Title' )
attributeTypes: ( 2.5.4.13 NAME 'description' X-KTR-NAME 'Description' )
attributeTypes: ( 2.5.4.7 NAME 'l' X-KTR-NAME 'Location' )
attributeTypes: ( 1.3.6.1.4.1.99999.1.4 NAME 'networkAddress' X-KTR-NAME 'Network Address' )
attributeTypes: ( 1.3.6.1.4.1.99999.1.5 NAME 'rjNetworkAddress' X-KTR-NAME 'RJ:Network Address' )
attributeTypes: ( 1.3.6.1.4.1.99999.1.7 NAME 'operator' X-KTR-NAME 'Operator' )
objectClasses: ( 2.5.6.0 NAME 'top' ABSTRACT MUST objectClass )
objectClasses: ( 2.5.6.2 NAME 'country' SUP top STRUCTURAL MUST c X-KTR-NAME 'Country' )
objectClasses: ( 2.5.6.4 NAME 'organization' SUP top STRUCTURAL MUST o MAY description
  X-KTR-NAME 'Organization' )
objectClasses: ( 2.5.6.5 NAME 'organizationalUnit' SUP top STRUCTURAL MUST ou MAY
  description X-KTR-NAME 'Organizational Unit' )
objectClasses: ( 1.3.6.1.4.1.99999.2.1 NAME 'ktrUser' SUP top STRUCTURAL MUST ( cn $ surn
 ame ) MAY ( givenName $ title $ networkAddress ) X-KTR-NAME 'User' )
objectClasses: ( 1.3.6.1.4.1.99999.2.2 NAME 'ktrWorkstation' SUP top STRUCTURAL MUST cn MA
 Y ( description $ l $ operator $ rjNetworkAddress ) X-KTR-NAME 'Workstation' )

dn: dc=Bench
objectClass: top
dc: Bench

)";

// The standard flavour's root: a domain, as a site's server holds it.
constexpr const char* kStandardRoot = R"(version: 1

dn: dc=Bench
objectClass: top
objectClass: domain
dc: Bench

)";

class Writer {
public:
    explicit Writer(const std::filesystem::path& path) : file_(std::fopen(path.c_str(), "w")) {
        if (!file_) throw std::runtime_error("cannot write " + path.string());
        std::setvbuf(file_, nullptr, _IOFBF, 1 << 20);
    }
    ~Writer() {
        if (file_) std::fclose(file_);
    }
    void put(const std::string& text) { std::fwrite(text.data(), 1, text.size(), file_); }
    void close() {
        if (std::fclose(file_) != 0) throw std::runtime_error("write failed");
        file_ = nullptr;
    }

private:
    std::FILE* file_;
};

// The first character of a UTF-8 name.
std::string initial(const char* name) {
    std::size_t length = 1;
    while ((static_cast<unsigned char>(name[length]) & 0xC0) == 0x80) ++length;
    return std::string(name, length);
}

std::string digits(std::size_t value, int width) {
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "%0*zu", width, value);
    return buffer;
}

// A login name made of a user's name: ASCII letters and digits, lower case.
std::string login(const std::string& name) {
    std::string out;
    for (const char c : name) {
        if (c >= 'A' && c <= 'Z')
            out += static_cast<char>(c - 'A' + 'a');
        else if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
            out += c;
    }
    return out;
}

std::string hex(std::uint64_t value, int digits) {
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "%0*llX", digits, static_cast<unsigned long long>(value));
    return buffer;
}

}  // namespace

GeneratedShape writeDirectory(const std::filesystem::path& path, std::size_t entries,
                              Flavour flavour) {
    Writer out(path);
    const bool standard = flavour == Flavour::Standard;
    out.put(standard ? kStandardRoot : kSchema);
    GeneratedShape shape;
    shape.entries = 1;
    const std::size_t units = kCountries.size() * kOrganizations * kUnitNames.size();
    const std::size_t containers =
        kCountries.size() * (1 + kOrganizations * (1 + kUnitNames.size()));
    const std::size_t leavesPerUnit =
        entries > containers + 1 ? (entries - containers - 1 + units - 1) / units : 0;
    std::mt19937_64 random(20240611);
    std::string record;
    for (const char* country : kCountries) {
        const std::string countryDn = std::string("c=") + country + ",dc=Bench";
        out.put("dn: " + countryDn + "\nobjectClass: top\nobjectClass: country\nc: " + country +
                "\n\n");
        ++shape.entries;
        for (std::size_t o = 0; o < kOrganizations; ++o) {
            const std::string org =
                std::string(kSurnames[(o * 7 + country[0]) % kSurnames.size()]) + " " +
                (o % 2 ? "GmbH" : "Group") + " " + std::to_string(o);
            const std::string orgDn = "o=" + org + "," + countryDn;
            out.put("dn: " + orgDn + "\nobjectClass: top\nobjectClass: organization\no: " + org +
                    "\ndescription: " + org + ", " + country + "\n\n");
            ++shape.entries;
            for (const char* unit : kUnitNames) {
                const std::string unitDn = std::string("ou=") + unit + "," + orgDn;
                out.put("dn: " + unitDn +
                        "\nobjectClass: top\nobjectClass: organizationalUnit\nou: " + unit +
                        "\n\n");
                ++shape.entries;
                ++shape.units;
                std::string lastUser;  // the standard flavour's owner of the next workstation
                for (std::size_t leaf = 0; leaf < leavesPerUnit; ++leaf) {
                    const std::uint64_t r = random();
                    record.clear();
                    if (leaf % 2 == 0) {
                        const char* surname = kSurnames[r % kSurnames.size()];
                        const char* given = kGivenNames[(r >> 8) % kGivenNames.size()];
                        const std::string cn =
                            std::string(surname) + initial(given) + std::to_string(leaf);
                        const std::string dn = "cn=" + cn + "," + unitDn;
                        if (standard) {
                            record = "dn: " + dn +
                                     "\nobjectClass: top\nobjectClass: person\nobjectClass: "
                                     "organizationalPerson\nobjectClass: inetOrgPerson\ncn: " +
                                     cn + "\nuid: " + login(cn) + "\nsn: " + surname +
                                     "\ngivenName: " + given +
                                     "\ntitle: " + kTitles[(r >> 16) % kTitles.size()] + "\n\n";
                            lastUser = dn;
                        } else {
                            record = "dn: " + dn +
                                     "\nobjectClass: top\nobjectClass: ktrUser\ncn: " + cn +
                                     "\nsurname: " + surname + "\ngivenName: " + given +
                                     "\ntitle: " + kTitles[(r >> 16) % kTitles.size()] +
                                     "\nnetworkAddress: IPX 0000" + hex((r >> 24) & 0xFFFF, 4) +
                                     ":" + hex(r >> 16, 12) + ":4003\n\n";
                        }
                        ++shape.users;
                    } else {
                        const std::string cn = std::string(country) + "-" +
                                               std::string(unit).substr(0, 3) + "-" +
                                               digits(leaf, 5);
                        const char* surname = kSurnames[(r >> 4) % kSurnames.size()];
                        const std::string address = std::to_string((r >> 8) & 0xFF) + "." +
                                                    std::to_string((r >> 16) & 0xFF) + "." +
                                                    std::to_string((r >> 32) & 0xFF);
                        if (standard) {
                            record =
                                "dn: cn=" + cn + "," + unitDn +
                                "\nobjectClass: top\nobjectClass: device\nobjectClass: "
                                "ipHost\ncn: " +
                                cn + "\ndescription: " + kDescriptions[r % kDescriptions.size()] +
                                "\nl: " + unit + ", room " + std::to_string((r >> 8) % 500) +
                                "\nowner: " + lastUser + "\nipHostNumber: 10." + address + "\n\n";
                        } else {
                            record = "dn: cn=" + cn + "," + unitDn +
                                     "\nobjectClass: top\nobjectClass: ktrWorkstation\ncn: " + cn +
                                     "\ndescription: " + kDescriptions[r % kDescriptions.size()] +
                                     "\nl: " + unit + ", room " + std::to_string((r >> 8) % 500) +
                                     "\noperator: cn=" + surname + "A" + std::to_string(leaf - 1) +
                                     "," + unitDn + "\nrjNetworkAddress: TCP 10." + address +
                                     "\n\n";
                        }
                        ++shape.workstations;
                    }
                    out.put(record);
                    ++shape.entries;
                }
            }
        }
    }
    out.close();
    return shape;
}

GeneratedShape writeLevel(const std::filesystem::path& path, std::size_t workstations,
                          LevelForm form) {
    constexpr std::size_t kOwners = 100;
    Writer out(path);
    GeneratedShape shape;
    const bool ad = form == LevelForm::ActiveDirectory;
    const std::string level = ad ? "OU=Level,@DOMAIN@" : "o=Level,dc=Bench";
    const std::string people = (ad ? "OU=People," : "ou=People,") + level;
    const std::string hosts = (ad ? "OU=Hosts," : "ou=Hosts,") + level;
    switch (form) {
        case LevelForm::Ktr:
            out.put(kSchema);
            break;
        case LevelForm::Standard:
            out.put(kStandardRoot);
            break;
        case LevelForm::ActiveDirectory:
            out.put("version: 1\n\n");
            break;
    }
    if (!ad) ++shape.entries;  // the root, dc=Bench
    const std::string unitClass = "\nobjectClass: top\nobjectClass: organizationalUnit\nou: ";
    out.put(ad ? "dn: " + level + unitClass + "Level\n\n"
               : "dn: " + level + "\nobjectClass: top\nobjectClass: organization\no: Level\n\n");
    out.put("dn: " + people + unitClass + "People\n\n");
    out.put("dn: " + hosts + unitClass + "Hosts\n\n");
    shape.entries += 3;
    shape.units = 2;
    std::mt19937_64 random(20261209);
    std::vector<std::string> owners;
    for (std::size_t n = 0; n < kOwners; ++n) {
        const std::uint64_t r = random();
        const char* surname = kSurnames[r % kSurnames.size()];
        const char* given = kGivenNames[(r >> 8) % kGivenNames.size()];
        const std::string cn = std::string(given) + " " + surname + " " + std::to_string(n);
        const std::string name = login(std::string(surname) + initial(given)) + std::to_string(n);
        const std::string dn = (ad ? "CN=" : "cn=") + cn + "," + people;
        owners.push_back(dn);
        switch (form) {
            case LevelForm::Ktr:
                out.put("dn: " + dn + "\nobjectClass: top\nobjectClass: ktrUser\ncn: " + cn +
                        "\nsurname: " + surname + "\ngivenName: " + given + "\n\n");
                break;
            case LevelForm::Standard:
                out.put("dn: " + dn +
                        "\nobjectClass: top\nobjectClass: person\nobjectClass: organizationalPerson"
                        "\nobjectClass: inetOrgPerson\ncn: " +
                        cn + "\nuid: " + name + "\nsn: " + surname + "\ngivenName: " + given +
                        "\n\n");
                break;
            case LevelForm::ActiveDirectory:
                out.put("dn: " + dn +
                        "\nobjectClass: top\nobjectClass: person\nobjectClass: organizationalPerson"
                        "\nobjectClass: user\ncn: " +
                        cn + "\nsAMAccountName: " + name + "\ndisplayName: " + cn +
                        "\nsn: " + surname + "\ngivenName: " + given + "\n\n");
                break;
        }
        ++shape.users;
        ++shape.entries;
    }
    for (std::size_t n = 0; n < workstations; ++n) {
        const std::uint64_t r = random();
        const std::string cn = "WS-" + digits(n, 5);
        const std::string description = kDescriptions[r % kDescriptions.size()];
        const std::string room = "Hosts, room " + std::to_string((r >> 8) % 500);
        const std::string address = "10." + std::to_string((r >> 8) & 0xFF) + "." +
                                    std::to_string((r >> 16) & 0xFF) + "." +
                                    std::to_string((r >> 32) & 0xFF);
        const std::string& owner = owners[(r >> 40) % owners.size()];
        switch (form) {
            case LevelForm::Ktr:
                out.put("dn: cn=" + cn + "," + hosts +
                        "\nobjectClass: top\nobjectClass: ktrWorkstation\ncn: " + cn +
                        "\ndescription: " + description + "\nl: " + room + "\noperator: " + owner +
                        "\nrjNetworkAddress: TCP " + address + "\n\n");
                break;
            case LevelForm::Standard:
                out.put("dn: cn=" + cn + "," + hosts +
                        "\nobjectClass: top\nobjectClass: device\nobjectClass: ipHost\ncn: " + cn +
                        "\ndescription: " + description + "\nl: " + room + "\nowner: " + owner +
                        "\nipHostNumber: " + address + "\n\n");
                break;
            case LevelForm::ActiveDirectory:
                out.put("dn: CN=" + cn + "," + hosts +
                        "\nobjectClass: top\nobjectClass: person\nobjectClass: organizationalPerson"
                        "\nobjectClass: user\nobjectClass: computer\ncn: " +
                        cn + "\nsAMAccountName: " + cn + "$\ndNSHostName: " + login(cn) +
                        ".corptree.test\ndescription: " + description + "\nlocation: " + room +
                        "\nmanagedBy: " + owner + "\nnetworkAddress: TCP " + address + "\n\n");
                break;
        }
        ++shape.workstations;
        ++shape.entries;
    }
    out.close();
    return shape;
}

}  // namespace benchdir
