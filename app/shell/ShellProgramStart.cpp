// Program start through the platform's Shell.
#include "app/shell/ShellProgramStart.h"

#include "platform/process/shell.h"

namespace tvn {

void ShellProgramStart::start(const QString& commandLine, int windowStyle) {
    platform::process::Shell(commandLine.toStdString(), windowStyle);
}

}  // namespace tvn
