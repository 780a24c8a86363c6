// Names of the product the package installs.
#pragma once

// The program name until the profiles give one; the log banner always shows it.
constexpr const char kDefaultProgramName[] = "Veltrix Printer Installer Program";
