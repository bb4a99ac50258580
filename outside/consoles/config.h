// What each console action runs: /etc/tolvane/consoles.conf with the user's
// $XDG_CONFIG_HOME/tolvane/consoles.conf over it (CONSOLES_CONF, a list of
// files separated by colons, replaces both), in the INI form of the other
// configuration files. A command is an argument list with placeholders; it is
// started without a shell, and a placeholder only ever fills in part of the
// word it stands in, so a value from the directory stays one argument.
//
//   [workstation]
//   vnc_port = 5900          ; %v
//   ssh_port = 22            ; %s
//   connect_timeout = 3      ; seconds for the port tried before a command
//
//   [Remote Control]         ; one section per action, named as tvn names it
//   command = xtigervncviewer %a::%v
//   port = 5900              ; tried before the command starts; 0: none
//   output = window          ; what the command prints is shown in a window
//
//   [Ping]
//   ports = 22, 5900
//   tries = 3
//   timeout = 2
#pragma once

#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace outside::consoles {

// The actions, under the texts that tvn passes with -c.
inline const std::vector<std::string>& actionNames() {
    static const std::vector<std::string> names{"Remote Control", "Remote View", "Remote Execute",
                                                "File Transfer",  "Chat",        "Diagnostics",
                                                "Inventory",      "Ping"};
    return names;
}

// One word of a command: literal text and placeholders, in order. A
// placeholder is the letter after '%'.
struct Word {
    struct Piece {
        char placeholder = 0;  // 0: literal text
        std::string text;
    };
    std::vector<Piece> pieces;
};
using Command = std::vector<Word>;

// The values put in for the placeholders.
struct Values {
    std::string address;          // %a: the workstation's IPv4 address or host name
    std::string name;             // %w: its own name ("WS042")
    std::string dotted;           // %d: its dotted name ("WS042.Sales.Acme")
    std::string tree;             // %t
    std::string inventoryServer;  // %i
    int vncPort = 5900;           // %v
    int sshPort = 22;             // %s
};

// The placeholders a command may hold, with what each stands for.
inline constexpr const char* kPlaceholders = "awdtivs";

// Splits a command into words: blanks separate words, double or single
// quotes keep blanks inside one, a backslash keeps the next character (in
// double quotes only a double quote or a backslash; in single quotes none).
// Throws std::invalid_argument with the reason (an unknown placeholder, an
// open quote, no program).
Command parseCommand(const std::string& text);

// The argument list with the values put in (the program first).
std::vector<std::string> expand(const Command& command, const Values& values);

struct ActionSetting {
    std::optional<Command> command;  // absent: the built-in default
    std::string commandText;         // as written, for messages
    std::string origin;              // the file that set the command
    std::optional<int> port;         // absent: the action's default
    std::optional<bool> outputWindow;
};

struct Config {
    std::vector<std::string> files;  // the files read, in order
    int vncPort = 5900;
    int sshPort = 22;
    double connectTimeout = 3;
    std::vector<int> pingPorts{22, 5900};
    int pingTries = 3;
    double pingTimeout = 2;
    std::map<std::string, ActionSetting> actions;  // by action text
};

// A configuration that cannot be used; what() is "file:line: reason".
class ConfigError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A built-in command of an action and the programs it needs.
struct Builtin {
    std::vector<std::string> needs;
    std::string command;
    bool outputWindow = false;
};
// The built-in commands of an action; the first whose programs are
// installed is used.
std::vector<Builtin> builtins(const std::string& action);

// The files read by default: CONSOLES_CONF's, or the system's and the user's.
std::vector<std::string> configFiles();

// Reads the files in order, each over the ones before; a file that does not
// exist is skipped, one that cannot be read or holds an error is refused.
Config loadConfig(const std::vector<std::string>& files);

}  // namespace outside::consoles
