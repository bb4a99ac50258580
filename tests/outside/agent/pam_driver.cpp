// Drives PAM sessions the way a login program does, for the login
// publisher's tests: with a private configuration folder
// (pam_start_confdir), so that nothing under /etc/pam.d is used or left.
//   pam_driver CONFDIR
// reads commands on standard input, one a line, and answers each with a line:
//   open ID SERVICE USER TTY   pam_start_confdir + PAM_TTY + pam_open_session
//   close ID                   pam_close_session + pam_end
// The answer is "ID STATUS MILLISECONDS" (STATUS: PAM's return code, 0 success).
#include <security/pam_appl.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <map>
#include <sstream>
#include <string>

namespace {

// Session modules ask nothing; a conversation is still required.
int converse(int, const pam_message**, pam_response** response, void*) {
    *response = nullptr;
    return PAM_CONV_ERR;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: pam_driver CONFDIR\n";
        return 2;
    }
    const pam_conv conversation{converse, nullptr};
    std::map<std::string, pam_handle_t*> sessions;
    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream in(line);
        std::string command, id;
        in >> command >> id;
        const auto started = std::chrono::steady_clock::now();
        int status = PAM_SYSTEM_ERR;
        if (command == "open") {
            std::string service, user, tty;
            in >> service >> user >> tty;
            pam_handle_t* handle = nullptr;
            status =
                pam_start_confdir(service.c_str(), user.c_str(), &conversation, argv[1], &handle);
            if (status == PAM_SUCCESS) status = pam_set_item(handle, PAM_TTY, tty.c_str());
            if (status == PAM_SUCCESS) status = pam_open_session(handle, 0);
            if (handle) sessions[id] = handle;
        } else if (command == "close" && sessions.count(id)) {
            pam_handle_t* handle = sessions[id];
            status = pam_close_session(handle, 0);
            pam_end(handle, status);
            sessions.erase(id);
        }
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - started)
                            .count();
        std::cout << id << ' ' << status << ' ' << ms << std::endl;
    }
    for (auto& [id, handle] : sessions) pam_end(handle, PAM_SUCCESS);
    return 0;
}
