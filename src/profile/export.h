// Classes the executable offers to the companion libraries: exported from
// Setup.exe (whose import library the companions may link against) and from
// setup-sim (whose symbols are visible to the shared objects it loads).
#pragma once

#if defined(_WIN32)
#if defined(SETUP_ENGINE_EXPORTS)
// The engine's own objects: the linker puts these classes into the
// executable's export table.
#define SETUP_EXPORT __declspec(dllexport)
#elif defined(SETUP_ENGINE_IMPORTS)
// A companion linking against the executable's import library.
#define SETUP_EXPORT __declspec(dllimport)
#else
#define SETUP_EXPORT
#endif
#else
#define SETUP_EXPORT __attribute__((visibility("default")))
#endif
