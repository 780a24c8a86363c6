// A simulated machine of its own for one test, in a temporary folder.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "platform/sim/machine.h"

namespace testsupport {

inline std::string ReadHost(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline void WriteHost(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

// Replaces the value of one key line of machine.ini text (or adds the line
// to the section when the key is absent).
inline std::string WithKey(std::string ini, const std::string& section, const std::string& key,
                           const std::string& value) {
    std::string header = "[" + section + "]\r\n";
    size_t s = ini.find(header);
    if (s == std::string::npos) return ini + header + key + " = " + value + "\r\n";
    size_t body = s + header.size();
    size_t end = ini.find("\r\n[", body);
    if (end == std::string::npos) end = ini.size();
    size_t k = ini.find("\r\n" + key + " = ", body - 2);
    if (k != std::string::npos && k < end) {
        size_t lineEnd = ini.find("\r\n", k + 2);
        ini.replace(k + 2, lineEnd - k - 2, key + " = " + value);
    } else {
        ini.insert(body, key + " = " + value + "\r\n");
    }
    return ini;
}

class SimMachine {
public:
    // ini: machine.ini text; empty for the default machine.
    explicit SimMachine(const std::string& ini = std::string()) {
        char tmpl[] = "/tmp/sim-test-XXXXXX";
        root_ = ::mkdtemp(tmpl);
        folder_ = root_ + "/machine";
        package_ = root_ + "/package";
        ::mkdir(folder_.c_str(), 0755);
        ::mkdir(package_.c_str(), 0755);
        if (!ini.empty()) WriteHost(folder_ + "/machine.ini", ini);
        std::string error;
        EXPECT_EQ(0u, sim::Machine::Open(folder_, machine_, &error)) << error;
        if (!machine_) return;
        machine_->Mount('D', sim::DriveKind::CdRom, package_);
        process_.machine = machine_.get();
        process_.exePath = "D:\\Setup.exe";
        process_.currentDir = "D:\\";
        sim::SetCurrentProcess(&process_);
    }
    ~SimMachine() {
        sim::SetCurrentProcess(nullptr);
        machine_.reset();
        std::string cmd = "rm -rf '" + root_ + "'";
        if (std::system(cmd.c_str()) != 0) ADD_FAILURE() << "cannot remove " << root_;
    }
    sim::Machine& machine() { return *machine_; }
    sim::Process& process() { return process_; }
    const std::string& folder() const { return folder_; }
    const std::string& root() const { return root_; }
    const std::string& package() const { return package_; }
    // Host path of a Windows path on this machine.
    std::string Host(const std::string& winPath) {
        std::string host;
        EXPECT_EQ(0u, machine_->ToHostPath(winPath, "C:\\", host)) << winPath;
        return host;
    }

private:
    std::string root_, folder_, package_;
    std::unique_ptr<sim::Machine> machine_;
    sim::Process process_;
};

inline std::string FixedClockIni(const char* clock = "2026-12-11 09:30:05") {
    return WithKey(sim::Machine::DefaultIni(), "Machine", "Clock", clock);
}

}  // namespace testsupport
