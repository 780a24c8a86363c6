// What the utility library asks of the system it runs on: the Windows APIs
// in the Windows build, the simulated system in the Linux one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vxutil {

struct AttachedDevice {
    std::string port;      // "USB001", "LPT1:"
    std::string deviceId;  // IEEE-1284 device id, "MFG:...;MDL:...;"; may be empty
    std::string vidPid;    // "VID_1A2B&PID_0C01"; empty on a parallel port
};

// The present devices a printer port leads to. False when the system
// cannot enumerate devices at all (no USB support).
bool QueryDevices(const std::string& mfg, const std::string& mdl, const std::string& vidPid,
                  std::vector<AttachedDevice>& devices);

// Bytes free to the caller on the disk of path; empty: the Windows
// directory's disk. False when there is no figure.
bool FreeBytes(const char* path, uint64_t* bytes);

}  // namespace vxutil
