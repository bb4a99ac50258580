// Program start from a command line, the way the programs of the platform
// expect it: one text holding the program and its arguments, split by the
// platform's quoting rules, started as a separate process that nobody waits
// for. Programs may be named by UNC paths or drive letters (see paths.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/process/errors.h"
#include "platform/process/paths.h"

namespace platform::process {

// The longest command line the platform accepts, in UTF-16 code units.
inline constexpr std::size_t kMaxCommandLineLength = 32767;

// Window styles a caller may ask for. This desktop's window manager places
// and activates a new program's window by its own rules, so the style is
// checked and otherwise has no effect.
enum WindowStyle : int {
    Hide = 0,
    NormalFocus = 1,
    MinimizedFocus = 2,
    MaximizedFocus = 3,
    NormalNoFocus = 4,
    MinimizedNoFocus = 6,
};

// The program of a command line and its arguments.
struct SplitCommand {
    std::string program;
    std::vector<std::string> arguments;

    bool operator==(const SplitCommand&) const = default;
};

// Splits a command line. The program name ends at the first blank or tab
// outside quotes; its quotes only group and its backslashes are literal (UNC
// paths are full of them). The arguments follow the C runtime's rules:
// blanks and tabs separate; a quoted run keeps its blanks and joins the text
// around it (-n"Corp Tree" is -nCorp Tree); backslashes are literal except
// before a quote, where 2n backslashes give n and the quote opens or closes a
// run, 2n+1 give n and a literal quote; "" inside a run is a literal quote.
SplitCommand splitCommandLine(std::string_view commandLine);

using TaskId = std::int64_t;

// Starts the command line's program as a process of its own (own session,
// standard channels inherited, no other descriptors) and returns its process
// id without waiting. Nothing is started when it throws ProcessError:
//   5  empty command line, over kMaxCommandLineLength, NUL in it, bad style;
//   53 the program file does not exist (its directory does);
//   76 a directory on the way does not exist, or the drive/volume is unknown;
//   70 the program exists but the user may not run it;
//   75 the program cannot be run (a directory, not an executable format);
//   52 a malformed program path.
// A program name without any "\" or "/" is looked for in the current
// directory and then on $PATH.
TaskId Shell(std::string_view commandLine, int windowStyle = NormalFocus);

}  // namespace platform::process
