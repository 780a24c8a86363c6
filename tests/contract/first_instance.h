// A stand-in for a first installer instance: it holds the instance mutex and
// a top-level window of the instance class, and counts how often it is
// asked to come to the front.
#pragma once

#include <string>

namespace contract {

constexpr unsigned kQuitWithCount = 0x400 + 1;  // WM_USER + 1

// Runs the stand-in in this process until it is told to quit; answers the
// number of activation requests it received.
// readyFile: a file it creates once its window exists (none when empty).
int RunFirstInstance(const std::string& programName, const std::string& readyFile = "");

struct FirstInstance {
    void* process = nullptr;  // the stand-in's process
    long pid = 0;
};
// Starts the stand-in as a process of its own and waits until its window
// can be found; false when it did not come up.
bool StartFirstInstance(const std::string& programName, FirstInstance* first);
// Tells it to quit and answers its count (-1 when it could not be told).
int StopFirstInstance(const std::string& programName, FirstInstance* first);

}  // namespace contract
