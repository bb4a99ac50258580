// The PAM application of the login publisher's tests: pam_driver run as a
// child, holding sessions the way a login program does (it is the parent
// pam_exec's children see, i.e. the sessions' leader).
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "testsupport/testsupport.h"

namespace logontest {

namespace fs = std::filesystem;
using testsupport::binDir;

inline std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) out.push_back(line);
    return out;
}

class Driver {
public:
    explicit Driver(const fs::path& confdir) {
        int in[2], out[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe");
        pid_ = fork();
        if (pid_ == 0) {
            dup2(in[0], 0);
            dup2(out[1], 1);
            ::close(in[1]);
            ::close(out[0]);
            const std::string program = (binDir() / "pam_driver").string();
            execl(program.c_str(), program.c_str(), confdir.c_str(), nullptr);
            _exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        to_ = in[1];
        from_ = out[0];
    }
    ~Driver() {
        ::close(to_);
        ::close(from_);
        if (pid_ > 0) waitpid(pid_, nullptr, 0);
    }
    Driver(const Driver&) = delete;
    Driver& operator=(const Driver&) = delete;

    struct Answer {
        int status = -1;
        long ms = -1;
    };
    void send(const std::string& command) {
        const std::string line = command + "\n";
        ASSERT_EQ(write(to_, line.data(), line.size()), static_cast<ssize_t>(line.size()));
    }
    Answer receive() {
        std::string line;
        char ch = 0;
        while (read(from_, &ch, 1) == 1 && ch != '\n') line += ch;
        std::istringstream in(line);
        std::string id;
        Answer answer;
        in >> id >> answer.status >> answer.ms;
        return answer;
    }
    Answer run(const std::string& command) {
        send(command);
        return receive();
    }
    Answer open(const std::string& id, const std::string& user,
                const std::string& service = "login") {
        return run("open " + id + " " + service + " " + user + " pts/" + id);
    }
    Answer close(const std::string& id) { return run("close " + id); }
    // Ends it the way a crash does: no session is closed.
    void kill() {
        ::kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    int to_ = -1;
    int from_ = -1;
};

}  // namespace logontest
