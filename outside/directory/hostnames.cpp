// Parallel, bounded look-ups through glibc's asynchronous getaddrinfo_a.
#include "outside/directory/hostnames.h"

#include <arpa/inet.h>
#include <netdb.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

namespace outside::directory {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kWait = std::chrono::seconds(1);
constexpr auto kKeep = std::chrono::minutes(5);
constexpr std::size_t kMaxCached = 10000;

struct Cached {
    std::vector<std::string> addresses;
    Clock::time_point when;
};

std::mutex cacheMutex;
std::map<std::string, Cached> cache;

// One request. It must outlive a look-up that could not be cancelled, so a
// request still running when we stop waiting is left to the resolver.
struct Request {
    std::string name;
    addrinfo hints{};
    gaicb control{};
};

std::vector<std::string> addressesOf(const addrinfo* list) {
    std::vector<std::string> out;
    for (const addrinfo* a = list; a; a = a->ai_next) {
        if (a->ai_family != AF_INET) continue;
        char text[INET_ADDRSTRLEN] = {};
        const auto* in = reinterpret_cast<const sockaddr_in*>(a->ai_addr);
        if (!inet_ntop(AF_INET, &in->sin_addr, text, sizeof text)) continue;
        std::string address = std::string("TCP ") + text;
        if (std::find(out.begin(), out.end(), address) == out.end()) out.push_back(address);
    }
    return out;
}

}  // namespace

std::vector<std::string> tcpAddressesOf(const std::vector<std::string>& hostNames) {
    const auto now = Clock::now();
    std::map<std::string, std::vector<std::string>> known;
    std::vector<std::unique_ptr<Request>> requests;
    {
        std::lock_guard lock(cacheMutex);
        for (const std::string& name : hostNames) {
            if (name.empty() || known.count(name)) continue;
            const auto it = cache.find(name);
            if (it != cache.end() && now - it->second.when < kKeep) {
                known[name] = it->second.addresses;
                continue;
            }
            known[name];
            auto request = std::make_unique<Request>();
            request->name = name;
            request->hints.ai_family = AF_INET;
            request->hints.ai_socktype = SOCK_STREAM;
            request->control.ar_name = request->name.c_str();
            request->control.ar_request = &request->hints;
            requests.push_back(std::move(request));
        }
    }
    if (!requests.empty()) {
        std::vector<gaicb*> list;
        for (auto& r : requests) list.push_back(&r->control);
        if (getaddrinfo_a(GAI_NOWAIT, list.data(), static_cast<int>(list.size()), nullptr) == 0) {
            const auto deadline = now + kWait;
            while (Clock::now() < deadline) {
                const bool pending = std::any_of(list.begin(), list.end(), [](gaicb* c) {
                    return gai_error(c) == EAI_INPROGRESS;
                });
                if (!pending) break;
                const auto left =
                    std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - Clock::now());
                if (left.count() <= 0) break;
                const timespec wait{static_cast<time_t>(left.count() / 1000000000),
                                    static_cast<long>(left.count() % 1000000000)};
                gai_suspend(list.data(), static_cast<int>(list.size()), &wait);
            }
            std::lock_guard lock(cacheMutex);
            if (cache.size() > kMaxCached) cache.clear();
            for (auto& r : requests) {
                const int state = gai_error(&r->control);
                if (state == EAI_INPROGRESS && gai_cancel(&r->control) != EAI_ALLDONE &&
                    gai_error(&r->control) == EAI_INPROGRESS) {
                    (void)r.release();  // still in the resolver's hands
                    continue;
                }
                if (gai_error(&r->control) == 0) {
                    known[r->name] = addressesOf(r->control.ar_result);
                    freeaddrinfo(r->control.ar_result);
                    r->control.ar_result = nullptr;
                }
                cache[r->name] = {known[r->name], now};
            }
        }
    }
    std::vector<std::string> out;
    for (const std::string& name : hostNames)
        for (const std::string& address : known[name])
            if (std::find(out.begin(), out.end(), address) == out.end()) out.push_back(address);
    return out;
}

}  // namespace outside::directory
