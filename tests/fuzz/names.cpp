// The name forms on any text: full names as NamePath reads them, the
// client's context strings, its dotted names and tvn's conversion to the
// dotted form. Whatever NamePath accepts survives the trip through each of
// the other forms unchanged.
#include <QString>
#include <algorithm>
#include <cstdint>

#include "app/actions/UNCtoDOTConversion.h"
#include "fuzzcheck.h"
#include "outside/client/errors.h"
#include "outside/client/names.h"
#include "platform/text/casefold.h"
#include "session/namepath.h"

using session::NamePath;

namespace {

bool samePath(const NamePath& a, const NamePath& b) {
    return a.isValid() == b.isValid() && a.path() == b.path() && a.tree() == b.tree() &&
           a.context() == b.context() && a.components() == b.components();
}

// The tree-and-context form trims blanks at the edges of the context (it is
// typed or handed over as one text), and reads a context "[Root]" as the
// tree root; names that hold such levels do not survive it and are checked
// no further.
bool plainLevels(const NamePath& path) {
    const auto plain = [](const std::string& name) { return session::trimBlanks(name) == name; };
    const bool rootNamed =
        path.components().size() == 1 &&
        platform::text::equalsIgnoringCase(path.context(), session::kRootContext);
    return !rootNamed && plain(path.tree()) &&
           std::all_of(path.components().begin(), path.components().end(), plain);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    const NamePath path = NamePath::fromFullName(text);
    if (path.isValid()) {
        FUZZ_CHECK(samePath(NamePath::fromFullName(path.fullName()), path), "%s\n",
                   path.fullName().c_str());
        FUZZ_CHECK(!plainLevels(path) ||
                       samePath(NamePath::fromTreeAndContext(path.tree(), path.context()), path),
                   "%s | %s\n", path.tree().c_str(), path.context().c_str());
        const NamePath parent = path.parent();
        FUZZ_CHECK(parent.isValid() && parent.tree() == path.tree());
        FUZZ_CHECK(parent.components().size() + (path.components().empty() ? 0 : 1) ==
                   path.components().size());

        // Its context string for the client names the same tree and context.
        const auto context =
            session::parseContextSpecification(session::contextSpecification(path.fullName()));
        FUZZ_CHECK(context && context->tree == path.tree(), "%s\n", path.fullName().c_str());

        // tvn's conversion gives the same dotted form (the tree name for a
        // root); tvn holds names as Unicode text, so only UTF-8 names compare.
        QString name = QString::fromStdString(path.fullName());
        if (name.toStdString() == path.fullName()) {
            const QString dotted = tvn::UNCtoDOTConversion::ConvertUNCtoDOT(name);
            const std::string expected = path.components().empty() ? path.tree() : path.context();
            FUZZ_CHECK(dotted.toStdString() == expected, "%s -> %s\n", path.fullName().c_str(),
                       dotted.toStdString().c_str());
        }

        // The client reads the dotted context back into the same components.
        if (!path.components().empty() && plainLevels(path)) {
            FUZZ_CHECK(outside::client::dottedToPath(path.context()) == path.components());
            FUZZ_CHECK(outside::client::pathToDotted(path.components()) == path.context());
        }
    }

    // The other readers take any text without failing in other ways.
    (void)session::parseContextSpecification(text);
    QString name = QString::fromStdString(text);
    (void)tvn::UNCtoDOTConversion::ConvertUNCtoDOT(name);
    try {
        const auto components = outside::client::dottedToPath(text);
        for (const std::string& component : components) FUZZ_CHECK(!component.empty());
    } catch (const outside::client::ClientError&) {
    }
    return 0;
}
