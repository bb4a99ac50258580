// The command-line splitter and the option step on any text: arguments are
// the text between "/", in order, never empty, at most MaxArgs of them; an
// option is set only when its key is in an argument.
#include <QString>
#include <cstdint>

#include "app/shell/CommandLine.h"
#include "app/shell/frmMain.h"
#include "fuzzcheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The first byte picks the limit (including none and negative ones).
    const int maxArgs = static_cast<int>(data[0] % 16) - 2;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data + 1),
                                           static_cast<qsizetype>(size - 1));
    const std::vector<QString> arguments = tvn::CommandLine::GetCommandLine(text, maxArgs);
    FUZZ_CHECK(!arguments.empty() && arguments[0].isEmpty());
    FUZZ_CHECK(arguments.size() <= static_cast<std::size_t>(std::max(maxArgs, 0)) + 1);
    QString joined;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        FUZZ_CHECK(!arguments[i].isEmpty() && !arguments[i].contains(u'/'));
        joined += arguments[i];
    }
    QString withoutSlashes = text;
    withoutSlashes.remove(u'/');
    FUZZ_CHECK(withoutSlashes.startsWith(joined));

    const tvn::CommandLineOptions options = tvn::CommandLine::parseOptions(arguments);
    const auto anyHas = [&](const char* key) {
        for (std::size_t i = 1; i < arguments.size(); ++i)
            if (arguments[i].contains(QLatin1String(key), Qt::CaseInsensitive)) return true;
        return false;
    };
    FUZZ_CHECK(options.tree.isEmpty() || anyHas("tree="));
    FUZZ_CHECK(options.dbPath.isEmpty() || anyHas("dbpath="));
    FUZZ_CHECK(options.buildContext.isEmpty() || anyHas("dbbuild="));
    FUZZ_CHECK(options.autoClose == anyHas("autoclose"));
    FUZZ_CHECK(options.help == anyHas("?"));
    return 0;
}
