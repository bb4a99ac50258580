// Reading consoles.conf with inih; see config.h.
#include "outside/consoles/config.h"

#include <ini.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>

namespace outside::consoles {

namespace {

std::string trim(std::string text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

Command parseCommand(const std::string& text) {
    Command words;
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (true) {
        while (i < n && isBlank(text[i])) ++i;
        if (i >= n) break;
        Word word;
        auto literal = [&](char c) {
            if (word.pieces.empty() || word.pieces.back().placeholder)
                word.pieces.push_back({0, {}});
            word.pieces.back().text += c;
        };
        char quote = 0;
        // An empty quoted word ("") is still a word.
        bool quoted = false;
        for (; i < n && (quote || !isBlank(text[i])); ++i) {
            const char c = text[i];
            if (quote && c == quote) {
                quote = 0;
            } else if (!quote && (c == '"' || c == '\'')) {
                quote = c;
                quoted = true;
            } else if (c == '\\' && !quote) {
                if (++i >= n) throw std::invalid_argument("the command ends in a backslash");
                literal(text[i]);
            } else if (c == '\\' && quote == '"' && i + 1 < n &&
                       (text[i + 1] == '"' || text[i + 1] == '\\')) {
                literal(text[++i]);
            } else if (c == '%') {
                if (++i >= n) throw std::invalid_argument("the command ends in a lone %");
                const char p = text[i];
                if (p == '%') {
                    literal('%');
                } else if (std::strchr(kPlaceholders, p) && p) {
                    word.pieces.push_back({p, {}});
                } else {
                    std::string why = "unknown placeholder %";
                    why += p;
                    why += " (known: %a %w %d %t %i %v %s and %% for a percent sign)";
                    throw std::invalid_argument(why);
                }
            } else {
                literal(c);
            }
        }
        if (quote) {
            std::string why = "a ";
            why += quote;
            why += " quote is not closed";
            throw std::invalid_argument(why);
        }
        if (word.pieces.empty() && quoted) word.pieces.push_back({0, {}});
        words.push_back(std::move(word));
    }
    if (words.empty()) throw std::invalid_argument("the command names no program");
    if (words.front().pieces.size() != 1 || words.front().pieces.front().placeholder)
        throw std::invalid_argument("the program must be written out, not a placeholder");
    return words;
}

std::vector<std::string> expand(const Command& command, const Values& values) {
    std::vector<std::string> out;
    for (const Word& word : command) {
        std::string arg;
        for (const Word::Piece& piece : word.pieces) {
            switch (piece.placeholder) {
                case 0:
                    arg += piece.text;
                    break;
                case 'a':
                    arg += values.address;
                    break;
                case 'w':
                    arg += values.name;
                    break;
                case 'd':
                    arg += values.dotted;
                    break;
                case 't':
                    arg += values.tree;
                    break;
                case 'i':
                    arg += values.inventoryServer;
                    break;
                case 'v':
                    arg += std::to_string(values.vncPort);
                    break;
                case 's':
                    arg += std::to_string(values.sshPort);
                    break;
            }
        }
        out.push_back(std::move(arg));
    }
    return out;
}

namespace {

struct Reader {
    Config* config = nullptr;
    std::string file;
    std::string error;  // why the line inih reports was refused
};

bool number(const std::string& value, double low, double high, double& out) {
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(value.c_str(), &end);
    if (errno || end == value.c_str() || *end || !(v >= low) || v > high) return false;
    out = v;
    return true;
}

bool port(const std::string& value, int& out, bool zero = false) {
    double v = 0;
    if (!number(value, zero ? 0 : 1, 65535, v) || v != static_cast<int>(v)) return false;
    out = static_cast<int>(v);
    return true;
}

bool setting(Reader& r, const std::string& section, const std::string& key,
             const std::string& value) {
    Config& c = *r.config;
    auto fail = [&](const std::string& why) {
        if (r.error.empty()) r.error = why;
        return false;
    };
    if (section == "workstation") {
        if (key == "vnc_port")
            return port(value, c.vncPort) ||
                   fail(std::string("vnc_port must be a port number from 1 to 65535, not '") +
                        value + "'");
        if (key == "ssh_port")
            return port(value, c.sshPort) ||
                   fail(std::string("ssh_port must be a port number from 1 to 65535, not '") +
                        value + "'");
        if (key == "connect_timeout")
            return number(value, 0.1, 60, c.connectTimeout) ||
                   fail("connect_timeout must be a number of seconds from 0.1 to 60, not '" +
                        value + "'");
        return fail(std::string("unknown setting '") + key + "' in [workstation]");
    }
    if (section == "Ping") {
        if (key == "ports") {
            std::vector<int> ports;
            std::stringstream in(value);
            std::string item;
            while (std::getline(in, item, ',')) {
                int p = 0;
                if (!port(trim(item), p))
                    return fail(
                        std::string("ports must be port numbers separated by commas, not '") +
                        value + "'");
                ports.push_back(p);
            }
            if (ports.empty()) return fail("ports names no port");
            return c.pingPorts = ports, true;
        }
        if (key == "tries") {
            double v = 0;
            if (!number(value, 1, 10, v) || v != static_cast<int>(v))
                return fail(std::string("tries must be a whole number from 1 to 10, not '") +
                            value + "'");
            return c.pingTries = static_cast<int>(v), true;
        }
        if (key == "timeout")
            return number(value, 0.1, 30, c.pingTimeout) ||
                   fail(std::string("timeout must be a number of seconds from 0.1 to 30, not '") +
                        value + "'");
    }
    const auto& names = actionNames();
    if (std::find(names.begin(), names.end(), section) == names.end())
        return fail(std::string("unknown section [") + section +
                    "] (the sections are [workstation] and " +
                    "the actions: [Remote Control], [Remote View], [Remote Execute], " +
                    "[File Transfer], [Chat], [Diagnostics], [Inventory], [Ping])");
    ActionSetting& action = c.actions[section];
    if (key == "command") {
        if (value.empty()) {
            // An empty command puts the built-in default back.
            action.command.reset();
            action.commandText.clear();
            return true;
        }
        try {
            action.command = parseCommand(value);
        } catch (const std::invalid_argument& e) {
            return fail(std::string("command: ") + e.what());
        }
        action.commandText = value;
        action.origin = r.file;
        return true;
    }
    if (key == "port") {
        int p = 0;
        if (!port(value, p, true))
            return fail(std::string("port must be a port number from 0 (none) to 65535, not '") +
                        value + "'");
        return action.port = p, true;
    }
    if (key == "output") {
        if (value == "window") return action.outputWindow = true, true;
        if (value == "none") return action.outputWindow = false, true;
        return fail(std::string("output must be window or none, not '") + value + "'");
    }
    return fail(std::string("unknown setting '") + key + "' in [" + section + "]");
}

int handler(void* user, const char* section, const char* name, const char* value) {
    auto& reader = *static_cast<Reader*>(user);
    return setting(reader, section, name, trim(value)) ? 1 : 0;
}

void readOne(Config& config, const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "r");
    if (!file) {
        if (errno == ENOENT) return;
        throw ConfigError(path + ": cannot read: " + std::strerror(errno));
    }
    Reader reader{&config, path, {}};
    const int rc = ini_parse_file(file, handler, &reader);
    const int readError = std::ferror(file) ? errno : 0;
    std::fclose(file);
    if (readError) throw ConfigError(path + ": cannot read: " + std::strerror(readError));
    if (rc > 0)
        throw ConfigError(path + ":" + std::to_string(rc) + ": " +
                          (reader.error.empty() ? "not a line of an INI file" : reader.error));
    if (rc < 0) throw ConfigError(path + ": cannot be read");
    config.files.push_back(path);
}

}  // namespace

std::vector<Builtin> builtins(const std::string& action) {
    const std::string inventory =
        "ssh -p %s -o BatchMode=yes -o ConnectTimeout=10 %a \"hostnamectl; lshw -short\"";
    const std::string diagnostics =
        "ssh -p %s -o BatchMode=yes -o ConnectTimeout=10 %a "
        "\"uptime; free -h; df -h; systemctl --failed --no-pager\"";
    if (action == "Remote Control")
        return {{{"xtigervncviewer"}, "xtigervncviewer %a::%v", false},
                {{"xtightvncviewer"}, "xtightvncviewer %a::%v", false},
                {{"remmina"}, "remmina -c vnc://%a:%v", false}};
    if (action == "Remote View")
        return {{{"xtigervncviewer"}, "xtigervncviewer -ViewOnly %a::%v", false},
                {{"xtightvncviewer"}, "xtightvncviewer -viewonly %a::%v", false}};
    if (action == "Remote Execute")
        return {{{"x-terminal-emulator", "ssh"}, "x-terminal-emulator -e ssh -p %s %a", false}};
    if (action == "File Transfer") return {{{"xdg-open"}, "xdg-open sftp://%a:%s/", false}};
    if (action == "Inventory") return {{{"ssh"}, inventory, true}};
    if (action == "Diagnostics") return {{{"ssh"}, diagnostics, true}};
    return {};
}

std::vector<std::string> configFiles() {
    std::vector<std::string> files;
    if (const char* list = std::getenv("CONSOLES_CONF")) {
        std::stringstream in(list);
        std::string item;
        while (std::getline(in, item, ':'))
            if (!item.empty()) files.push_back(item);
        return files;
    }
    files.push_back("/etc/tolvane/consoles.conf");
    std::filesystem::path user;
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config)
        user = config;
    else if (const char* home = std::getenv("HOME"); home && *home)
        user = std::filesystem::path(home) / ".config";
    if (!user.empty()) files.push_back((user / "tolvane" / "consoles.conf").string());
    return files;
}

Config loadConfig(const std::vector<std::string>& files) {
    Config config;
    for (const std::string& path : files) readOne(config, path);
    return config;
}

}  // namespace outside::consoles
