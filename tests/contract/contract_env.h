// Where a contract test runs: a fresh simulated machine natively, the real
// system (under Wine here) in the Windows build.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace contract {

bool UnderWine();
// A scratch folder of this test run (Windows path, ending with a backslash).
const std::string& ScratchDir();
// A new unique name for objects of this run (files, mutexes, classes).
std::string UniqueName(const char* stem);

}  // namespace contract

// A row where Wine 8.0 is known to differ from Windows; the simulated
// machine follows Windows.
#define SKIP_KNOWN_WINE_GAP(why) \
    if (contract::UnderWine()) GTEST_SKIP() << "known Wine gap: " << why
