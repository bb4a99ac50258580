// Bounded TCP connects; see reach.h.
#include "outside/consoles/reach.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <future>

namespace outside::consoles {

namespace {

using Clock = std::chrono::steady_clock;

struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

std::string errorText(int error) {
    if (error == ECONNREFUSED) return "refused";
    if (error == ETIMEDOUT) return "no answer in time";
    if (error == ENETUNREACH || error == EHOSTUNREACH) return "unreachable";
    return std::strerror(error);
}

}  // namespace

Answer connectOnce(const std::string& host, int port, std::chrono::milliseconds timeout) {
    Answer answer;
    const auto start = Clock::now();
    const auto deadline = start + timeout;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    // A numeric address needs no name server; a name is looked up with the
    // system's resolver, whose own timeouts are short for a local network.
    addrinfo* list = nullptr;
    const int rc = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &list);
    if (rc != 0) {
        answer.why = "the name does not resolve: ";
        answer.why += gai_strerror(rc);
        return answer;
    }
    std::unique_ptr<addrinfo, void (*)(addrinfo*)> hold(list, freeaddrinfo);
    answer.why = "no address to connect to";
    for (addrinfo* a = list; a; a = a->ai_next) {
        Fd socket{
            ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol)};
        if (socket.fd < 0) {
            answer.why = std::strerror(errno);
            continue;
        }
        const auto connectStart = Clock::now();
        int error = 0;
        if (::connect(socket.fd, a->ai_addr, a->ai_addrlen) != 0) {
            if (errno != EINPROGRESS) {
                answer.why = errorText(errno);
                continue;
            }
            pollfd p{socket.fd, POLLOUT, 0};
            int ready = 0;
            do {
                const auto left =
                    std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
                if (left.count() <= 0) break;
                ready = ::poll(&p, 1, static_cast<int>(left.count()));
            } while (ready < 0 && errno == EINTR);
            if (ready <= 0) {
                answer.why = "no answer in time";
                return answer;
            }
            socklen_t size = sizeof error;
            ::getsockopt(socket.fd, SOL_SOCKET, SO_ERROR, &error, &size);
        }
        if (error == 0) {
            answer.answered = true;
            answer.why.clear();
            answer.roundTrip =
                std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - connectStart);
            return answer;
        }
        answer.why = errorText(error);
        if (Clock::now() >= deadline) return answer;
    }
    return answer;
}

std::vector<std::vector<Answer>> pingPorts(const std::string& host, const std::vector<int>& ports,
                                           int tries, std::chrono::milliseconds timeout) {
    std::vector<std::future<std::vector<Answer>>> running;
    for (const int port : ports)
        running.push_back(std::async(std::launch::async, [=] {
            std::vector<Answer> answers;
            for (int i = 0; i < tries; ++i) answers.push_back(connectOnce(host, port, timeout));
            return answers;
        }));
    std::vector<std::vector<Answer>> out;
    for (auto& one : running) out.push_back(one.get());
    return out;
}

}  // namespace outside::consoles
