// Libraries on the simulated machine.
//
// A path names a host shared object on the machine's drives (the companions
// of a Linux package are host shared objects under their Windows names). A
// bare name of a system library ("User32.dll") opens the simulated system's
// library: its functions have the Windows signatures and work on the
// current simulated machine; [MissingFunctions] of machine.ini takes a
// library or a function away.
//
// A companion built for the simulated machine reaches the simulated system
// the way a Windows library reaches the real one: when it exports
// kSimBindSystemEntry (a SimBindSystemFn), the loader calls it once after
// loading with SimSystemLookup, which finds a system function by library
// and name (null when the machine lacks it) at the time of the call.
#pragma once

#include <cstdint>

extern "C" {
typedef void (*SimSystemProc)(void);
typedef SimSystemProc (*SimSystemLookup)(const char* library, const char* name);
typedef void (*SimBindSystemFn)(SimSystemLookup lookup);

// The simulator's own device query, library "setupapi.dll", function
// kSimAttachedDevicesName: the devices attached to the machine ([Devices] of
// machine.ini), one "port\tdevice id\tVID/PID\n" line each, into buffer
// (size bytes, NUL-terminated). 0; 122 with *needed set (terminator
// included) when the buffer is too small.
typedef uint32_t (*SimAttachedDevicesFn)(char* buffer, uint32_t size, uint32_t* needed);
}

constexpr const char kSimBindSystemEntry[] = "SimBindSystem";
constexpr const char kSimAttachedDevicesName[] = "SimAttachedDevices";

namespace sim {

// Adds (or replaces) a function of a simulated system library, so that the
// simulated parts of the machine can offer what the engine looks up at run
// time. Names compare without case.
void AddSystemFunction(const char* library, const char* name, SimSystemProc proc);

// The lookup handed to companions.
SimSystemProc LookUpSystemFunction(const char* library, const char* name);

}  // namespace sim
