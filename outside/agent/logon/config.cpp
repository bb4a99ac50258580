// Reading logon.conf with inih; see config.h.
#include "outside/agent/logon/config.h"

#include <ini.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "outside/directory/mapping.h"

namespace outside::agent::logon {

namespace {

std::string trim(std::string text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::vector<std::string> list(const std::string& value) {
    std::vector<std::string> out;
    std::stringstream in(value);
    std::string item;
    while (std::getline(in, item, ','))
        if (!(item = trim(item)).empty()) out.push_back(item);
    return out;
}

struct Reader {
    Config config;
    std::string error;  // why the line that inih reports was refused
    bool mappingSet = false;
    bool filterSet = false;
    bool attributeSet = false;
};

bool yesNo(const std::string& value, bool& out) {
    if (value == "yes" || value == "true" || value == "on") return out = true, true;
    if (value == "no" || value == "false" || value == "off") return out = false, true;
    return false;
}

bool setting(Reader& r, const std::string& section, const std::string& key,
             const std::string& value) {
    Config& c = r.config;
    // inih reads on after an error and reports the first one's line.
    auto fail = [&](const std::string& why) {
        if (r.error.empty()) r.error = why;
        return false;
    };
    auto flag = [&](bool& out) {
        return yesNo(value, out) || fail(key + " must be yes or no, not '" + value + "'");
    };
    if (section == "directory") {
        if (key == "url") return c.url = value, true;
        if (key == "start_tls") return flag(c.startTls);
        if (key == "ca_file") return c.caFile = value, true;
        if (key == "mapping") return c.mapping = value, r.mappingSet = true, true;
    } else if (section == "bind") {
        if (key == "method") {
            if (value == "simple") return c.bind = BindMethod::Simple, true;
            if (value == "external") return c.bind = BindMethod::External, true;
            if (value == "gssapi") return c.bind = BindMethod::Gssapi, true;
            return fail("method must be simple, external or gssapi, not '" + value + "'");
        }
        if (key == "dn") return c.bindDn = value, true;
        if (key == "secret_file") return c.secretFile = value, true;
        if (key == "certificate") return c.certificateFile = value, true;
        if (key == "key") return c.keyFile = value, true;
        if (key == "keytab") return c.keytab = value, true;
    } else if (section == "users") {
        if (key == "base") return c.userBase = value, true;
        if (key == "filter") {
            if (value.find("%u") == std::string::npos || value.front() != '(' ||
                value.back() != ')')
                return fail("filter must be a filter in parentheses with %u for the login name");
            return c.userFilter = value, r.filterSet = true, true;
        }
        if (key == "address_attribute")
            return c.addressAttribute = value, r.attributeSet = true, true;
    } else if (section == "workstation") {
        if (key == "dn") return c.workstationDn = value, true;
        if (key == "interface") return c.interface = value, true;
        if (key == "update_address") return flag(c.updateAddress);
    } else if (section == "logon") {
        if (key == "timeout") {
            char* end = nullptr;
            errno = 0;
            const double seconds = std::strtod(value.c_str(), &end);
            if (errno || end == value.c_str() || *end || !(seconds > 0) || seconds > 60)
                return fail("timeout must be a number of seconds above 0 and up to 60, not '" +
                            value + "'");
            c.timeout = std::chrono::milliseconds(static_cast<long>(seconds * 1000 + 0.5));
            return true;
        }
        if (key == "skip_services") return c.skipServices = list(value), true;
        if (key == "log_file") return c.logFile = value, true;
        if (key == "run_dir") return c.runDir = value, true;
    } else {
        return fail("unknown section [" + section + "]");
    }
    return fail("unknown setting '" + key + "' in [" + section + "]");
}

int handler(void* user, const char* section, const char* name, const char* value) {
    auto& reader = *static_cast<Reader*>(user);
    return setting(reader, section, name, trim(value)) ? 1 : 0;
}

// Where the mapping reads a user's "Network Address", and how a user is found.
void applyMapping(Reader& r) {
    Config& c = r.config;
    namespace dir = outside::directory;
    const dir::MappingChoice choice{c.mapping};
    if (choice.isAuto())
        throw ConfigError(c.path +
                          ": mapping must name ktr, standard, activedirectory or a "
                          "mapping file; auto needs a server to ask");
    std::shared_ptr<const dir::Mapping> mapping;
    try {
        mapping = choice.resolve();
    } catch (const dir::MappingError& e) {
        throw ConfigError(c.path + ": mapping: " + e.what());
    }
    std::string login = "uid";
    std::string classes;
    if (mapping->ktr) {
        c.model = Model::UserAttribute;
        if (!r.attributeSet) c.addressAttribute = "networkAddress";
    } else {
        const dir::ClassMapping* user = mapping->find("User");
        const dir::FieldMapping* field = nullptr;
        if (user)
            for (const auto& f : user->fields)
                if (f.name == "Network Address") field = &f;
        if (!field)
            throw ConfigError(c.path + ": the mapping " + mapping->name +
                              " gives users no \"Network Address\" field to publish into");
        if (field->form == dir::ValueForm::HostName)
            throw ConfigError(c.path + ": the mapping " + mapping->name +
                              " reads \"Network Address\" as host names; a login cannot be "
                              "published there");
        c.model = field->form == dir::ValueForm::Owner ? Model::Owner : Model::UserAttribute;
        if (!r.attributeSet) c.addressAttribute = field->attribute;
        if (!user->searchTypes.empty()) login = user->searchTypes.front();
        for (const auto& name : user->ldapClasses) classes += "(objectClass=" + name + ")";
        if (user->ldapClasses.size() > 1) classes = "(|" + classes + ")";
        if (const dir::ClassMapping* workstation = mapping->find("Workstation")) {
            std::string not_;
            for (const auto& name : workstation->ldapClasses)
                not_ += "(!(objectClass=" + name + "))";
            classes += not_;
        }
    }
    if (!r.filterSet)
        c.userFilter =
            classes.empty() ? "(" + login + "=%u)" : "(&" + classes + "(" + login + "=%u))";
}

}  // namespace

namespace {
Config check(Reader& r, const std::string& path);
}

Config loadConfig(const std::string& path) {
    Reader r;
    try {
        return check(r, path);
    } catch (const ConfigError& e) {
        throw ConfigError(e.what(), r.config.logFile);
    }
}

namespace {

Config check(Reader& r, const std::string& path) {
    r.config.path = path;
    FILE* file = std::fopen(path.c_str(), "r");
    if (!file) throw ConfigError(path + ": cannot read: " + std::strerror(errno));
    const int rc = ini_parse_file(file, handler, &r);
    std::fclose(file);
    if (rc > 0)
        throw ConfigError(path + ":" + std::to_string(rc) + ": " +
                          (r.error.empty() ? "not a line of an INI file" : r.error));
    if (rc < 0) throw ConfigError(path + ": cannot be read");
    Config& c = r.config;
    if (c.url.empty()) throw ConfigError(path + ": [directory] url is missing");
    if (c.bind == BindMethod::Simple && c.bindDn.empty())
        throw ConfigError(path + ": [bind] dn is missing (the simple bind needs an account)");
    // Over ldapi:// the server sees the workstation's account without a certificate.
    if (c.bind == BindMethod::External && !c.url.starts_with("ldapi://") &&
        (c.certificateFile.empty() || c.keyFile.empty()))
        throw ConfigError(path + ": [bind] certificate and key are needed for method external");
    applyMapping(r);
    if (c.model == Model::Owner && c.workstationDn.empty()) {
        if (c.bind != BindMethod::Simple)
            throw ConfigError(path + ": [workstation] dn is missing (the entry whose " +
                              c.ownerAttribute + " this workstation writes)");
        c.workstationDn = c.bindDn;
    }
    return c;
}

}  // namespace

std::string readSecret(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        throw ConfigError(path + ": cannot read the secret: " + std::strerror(errno));
    if (info.st_mode & (S_IRWXG | S_IRWXO))
        throw ConfigError(path +
                          ": the secret may be read by others than its owner; "
                          "chmod 600 it");
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    if (!in) throw ConfigError(path + ": cannot read the secret");
    std::string secret = text.str();
    while (!secret.empty() && (secret.back() == '\n' || secret.back() == '\r')) secret.pop_back();
    if (secret.empty()) throw ConfigError(path + ": the secret is empty");
    return secret;
}

std::string userFilter(const Config& config, const std::string& login) {
    std::string escaped;
    for (unsigned char ch : login) {
        if (ch == '*' || ch == '(' || ch == ')' || ch == '\\' || ch == 0 || ch < 0x20) {
            static const char* hex = "0123456789abcdef";
            escaped += '\\';
            escaped += hex[ch >> 4];
            escaped += hex[ch & 15];
        } else {
            escaped += static_cast<char>(ch);
        }
    }
    std::string out = config.userFilter;
    for (auto at = out.find("%u"); at != std::string::npos;
         at = out.find("%u", at + escaped.size()))
        out.replace(at, 2, escaped);
    return out;
}

}  // namespace outside::agent::logon
