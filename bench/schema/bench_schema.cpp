// Loading time of schemas: long chains of classes, many flat classes, and
// one of the size and shape of a large server's (about 260 classes in
// inheritance up to six deep with auxiliary classes mixed in, and 1,500
// attribute types), each parsed and laid out as a directory source does.
// Usage: bench_schema
#include <cstdio>
#include <string>
#include <vector>

#include "../timing.h"
#include "outside/directory/ldif.h"
#include "outside/directory/schema.h"

using benchtiming::Clock;
using benchtiming::msSince;
using outside::directory::Schema;
using outside::directory::SchemaError;

namespace {

struct Definitions {
    std::vector<std::string> attributes;
    std::vector<std::string> classes;
};

Definitions chain(std::size_t n) {
    Definitions d;
    d.attributes.push_back("( 2.5.4.3 NAME 'cn' )");
    for (std::size_t i = 0; i < n; ++i) {
        std::string def = "( 1.9." + std::to_string(i) + " NAME 'c" + std::to_string(i) + "'";
        def += i ? " SUP c" + std::to_string(i - 1) : std::string(" MUST cn");
        d.classes.push_back(def + " )");
    }
    return d;
}

Definitions flat(std::size_t n) {
    Definitions d;
    d.attributes.push_back("( 2.5.4.3 NAME 'cn' )");
    for (std::size_t i = 0; i < n; ++i)
        d.classes.push_back("( 1.9." + std::to_string(i) + " NAME 'f" + std::to_string(i) +
                            "' MUST cn )");
    return d;
}

Definitions serverLike() {
    Definitions d;
    for (std::size_t i = 0; i < 1500; ++i)
        d.attributes.push_back("( 1.7." + std::to_string(i) + " NAME 'a" + std::to_string(i) +
                               "' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 )");
    d.classes.push_back("( 2.5.6.0 NAME 'top' ABSTRACT MUST objectClass )");
    d.attributes.push_back("( 2.5.4.0 NAME 'objectClass' )");
    for (std::size_t i = 1; i < 260; ++i) {
        std::string def = "( 1.6." + std::to_string(i) + " NAME 'k" + std::to_string(i) + "'";
        const std::size_t parent = i < 6 ? i - 1 : (i * 7) % (i - 1) + 1;
        def += i == 1 ? " SUP top"
                      : " SUP ( k" + std::to_string(parent) +
                            (i % 5 == 0 ? " $ k" + std::to_string(i / 5) : "") + " )";
        if (i % 9 == 0) def += " AUXILIARY";
        def += " MAY (";
        for (std::size_t a = 0; a < 25; ++a)
            def += (a ? " $ a" : " a") + std::to_string((i * 37 + a * 11) % 1500);
        d.classes.push_back(def + " ) )");
    }
    return d;
}

void run(const char* what, const Definitions& d) {
    const std::vector<std::string_view> attributes(d.attributes.begin(), d.attributes.end());
    const std::vector<std::string_view> classes(d.classes.begin(), d.classes.end());
    const auto start = Clock::now();
    try {
        const Schema schema = Schema::parse(attributes, classes);
        std::printf("%-34s %8.1f ms  (%zu classes)\n", what, msSince(start), schema.classCount());
    } catch (const SchemaError& error) {
        std::printf("%-34s %8.1f ms  refused: %s\n", what, msSince(start), error.what());
    }
}

// The whole load of an LDIF file whose schema is a chain of n classes, and
// one entry of the deepest.
void loadChain(std::size_t n) {
    std::string text =
        "version: 1\ndn: cn=Subschema\nobjectClass: subschema\n"
        "attributeTypes: ( 2.5.4.3 NAME 'cn' )\nobjectClasses: ( 2.5.6.0 NAME 'top' ABSTRACT )\n"
        "objectClasses: ( 1.9.0 NAME 'c0' SUP top MUST cn X-KTR-NAME 'User' )\n";
    for (std::size_t i = 1; i < n; ++i)
        text += "objectClasses: ( 1.9." + std::to_string(i) + " NAME 'c" + std::to_string(i) +
                "' SUP c" + std::to_string(i - 1) + " )\n";
    text += "\ndn: dc=T\nobjectClass: top\n\ndn: cn=deep,dc=T\nobjectClass: c" +
            std::to_string(n - 1) + "\ncn: deep\n";
    const auto start = Clock::now();
    const auto result = outside::directory::loadLdifText(text, "chain");
    std::printf("LDIF with a chain of %6zu classes %8.1f ms  %s\n", n, msSince(start),
                result.ok() ? "loaded" : result.error.describe().c_str());
}

}  // namespace

int main() {
    loadChain(20000);
    run("server-like (260 / 1500)", serverLike());
    run("chain of 20,000 classes", chain(20000));
    run("chain of 65,000 classes", chain(65000));
    run("65,000 flat classes", flat(65000));
    run("200,000 flat classes", flat(200000));
    return 0;
}
