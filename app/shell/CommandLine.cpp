// The command-line step: splitting, the five options, the tree and the tree
// name, and the help window.
#include "app/shell/CommandLine.h"

#include <algorithm>

#include "app/lookup/KDDirCtrl.h"
#include "app/lookup/WorkstationDatabase.h"
#include "app/shell/RuntimeError.h"
#include "app/shell/Validation.h"
#include "app/shell/frmHelpWindow.h"
#include "app/shell/frmMain.h"

namespace tvn::CommandLine {

namespace {

// The value of an option: the argument minus the key's length from its
// start (wherever the key stands), blanks trimmed, one trailing "\" removed.
QString optionValue(const QString& argument, qsizetype keyLength) {
    QString value = Validation::trimBlanks(argument.mid(keyLength));
    if (value.endsWith(u'\\')) value.chop(1);
    return value;
}

bool has(const QString& argument, QLatin1String key) {
    return argument.contains(key, Qt::CaseInsensitive);
}

}  // namespace

QString processCommandLineText(const QStringList& arguments) {
    return arguments.mid(1).join(u' ');
}

std::vector<QString> GetCommandLine(const QString& text, int MaxArgs) {
    std::vector<QString> arguments(static_cast<size_t>(std::max(MaxArgs, 0)) + 1);
    size_t count = 0;
    bool inArgument = false;
    for (const QChar c : text) {
        if (c == u'/') {
            inArgument = false;
            continue;
        }
        if (!inArgument) {
            if (count == arguments.size() - 1) break;
            ++count;
            inArgument = true;
        }
        arguments[count] += c;
    }
    arguments.resize(count + 1);
    return arguments;
}

CommandLineOptions parseOptions(const std::vector<QString>& arguments) {
    CommandLineOptions options;
    for (size_t i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (has(argument, QLatin1String("tree="))) options.tree = optionValue(argument, 5);
        if (has(argument, QLatin1String("dbpath="))) options.dbPath = optionValue(argument, 7);
        if (has(argument, QLatin1String("dbbuild=")))
            options.buildContext = optionValue(argument, 8);
        if (has(argument, QLatin1String("autoclose"))) options.autoClose = true;
        if (argument.contains(u'?')) options.help = true;
    }
    return options;
}

void ProcessCommandLine(frmMain& form) {
    form.options = parseOptions(GetCommandLine(form.commandLine));
    form.dbDirectory = form.options.dbPath;

    try {
        if (!form.options.tree.isEmpty()) {
            for (KDDirCtrl* control :
                 {form.KDDirRCTree.get(), form.KDDirUser.get(), form.KDDirWS.get(),
                  form.KDDirWSdb.get(), form.KDDirWSAddress.get()})
                need(control)->setContextPath(form.options.tree);
        }
        KDDirCtrl& tree = *need(form.KDDirRCTree.get());
        form.treeName = tree.TreeOf(tree.ContextPath());
    } catch (...) {
        if (form.options.tree.isEmpty() ||
            errorNumber(std::current_exception()) != err::kNoSuchObject)
            throw;
        throw ExplainedError(
            err::kNoSuchObject,
            ("Tree " + form.options.tree + " not found in the directory").toStdString());
    }

    if (!form.options.buildContext.isEmpty()) makeDB(form);
}

void ShowHelpWindow(frmMain& form) {
    form.HelpWindow = std::make_unique<frmHelpWindow>();
    form.HelpWindow->show();
}

}  // namespace tvn::CommandLine
