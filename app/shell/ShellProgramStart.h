// Program start for the real program: command lines go to the platform's
// Shell, which finds programs on the network's volumes and reports a missing
// program (53) or folder (76) before anything is started.
#pragma once

#include "platform/forms/services.h"

namespace tvn {

class ShellProgramStart : public platform::forms::ProgramStart {
public:
    void start(const QString& commandLine, int windowStyle) override;
};

}  // namespace tvn
