// tvn, the administrator's desktop program.
#include "app/shell/Program.h"

int main(int argc, char** argv) {
    return tvn::runProgram(argc, argv);
}
