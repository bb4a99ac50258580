// Whether a workstation answers on a TCP port: a connect that never waits
// past its timeout, for the Ping window and for the port an action tries
// before it starts its command.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace outside::consoles {

struct Answer {
    bool answered = false;
    std::chrono::microseconds roundTrip{0};  // the connect's time, when answered
    std::string why;                         // when not: refused, timed out, ...
};

// One connect to host:port (an IPv4 address or a host name), given up
// after `timeout` (name resolution included).
Answer connectOnce(const std::string& host, int port, std::chrono::milliseconds timeout);

// `tries` connects in a row to each port, the ports at the same time.
// Never takes much longer than tries * timeout.
std::vector<std::vector<Answer>> pingPorts(const std::string& host, const std::vector<int>& ports,
                                           int tries, std::chrono::milliseconds timeout);

}  // namespace outside::consoles
