// Login requests for the tests, built byte for byte at the offsets the
// session control writes them, and the login library loaded as a caller
// loads it (dlopen by file name, then the entry point by name).
#pragma once

#include <dlfcn.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <string>

#include "testsupport/testsupport.h"

namespace records {

struct Request {
    uint8_t mode = 5;
    bool treeLogin = true;
    std::string name;  // tree or server
    std::string loginName;
    std::string password;
    std::string context;  // empty: none
    bool bindery = false;
    bool autoClose = false;
    uint8_t tabs = 0x01;
    bool runScript = false;
    bool results = false;
};

struct Records {
    std::array<uint8_t, 1328> data{};
    std::array<uint8_t, 80> options{};

    void put32(std::size_t offset, uint32_t value) { std::memcpy(&data[offset], &value, 4); }
    uint32_t get32(std::size_t offset) const {
        uint32_t value;
        std::memcpy(&value, &data[offset], 4);
        return value;
    }
    void putText(std::size_t offset, const std::string& text) {
        std::memcpy(&data[offset], text.c_str(), text.size() + 1);
    }
    std::string text(std::size_t offset) const {
        return reinterpret_cast<const char*>(&data[offset]);
    }
    // The three name buffers as the library left them.
    std::string server() const { return text(get32(20)); }
    std::string tree() const { return text(get32(28)); }
    std::string loginName() const { return text(get32(36)); }
};

// Buffers in the data record's tail: server 128 (129 bytes), tree 257 (33),
// login name 290 (257), context 547, password 804.
inline Records build(const Request& r) {
    Records rec;
    auto& o = rec.options;
    o[0] = r.mode;
    o[1] = r.autoClose ? 1 : 2;
    o[2] = 2;
    o[3] = r.treeLogin ? 1 : 2;
    o[4] = r.tabs;
    o[12] = r.bindery ? 1 : 2;
    o[13] = 2;
    o[14] = r.runScript ? 1 : 2;
    const uint16_t one = 1;
    std::memcpy(&o[16], &one, 2);
    o[18] = 0;
    o[19] = 7;
    o[56] = r.results ? 1 : 2;

    std::memcpy(&rec.data[0], &one, 2);
    rec.data[2] = 0;
    rec.data[3] = 7;
    rec.put32(12, 1);
    rec.put32(16, 129);
    rec.put32(20, 128);
    rec.put32(24, 33);
    rec.put32(28, 257);
    rec.put32(32, 257);
    rec.put32(36, 290);
    rec.putText(r.treeLogin ? 257 : 128, r.name);
    rec.putText(290, r.loginName);
    rec.put32(48, static_cast<uint32_t>(r.password.size() + 1));
    rec.put32(52, 804);
    rec.putText(804, r.password);
    if (!r.context.empty()) {
        rec.put32(72, 4);
        rec.put32(76, 547);
        rec.putText(547, r.context);
    }
    rec.put32(104, r.bindery ? 1 : 0);
    rec.put32(108, 0);
    rec.put32(124, r.runScript ? 1 : 0);
    return rec;
}

using Entry = int32_t (*)(void*, void*, void*);

// A library of the build by file name, kept loaded for the process.
inline void* library(const std::string& file) {
    return dlopen((testsupport::libDir() / file).c_str(), RTLD_NOW | RTLD_LOCAL);
}

inline Entry entry(const std::string& file = "libvestant.so") {
    void* handle = library(file);
    return handle ? reinterpret_cast<Entry>(dlsym(handle, "KDLoginUI")) : nullptr;
}

inline int32_t call(Records& rec, const std::string& file = "libvestant.so") {
    const Entry login = entry(file);
    if (!login) return -1;
    return login(nullptr, rec.data.data(), rec.options.data());
}

}  // namespace records
