// The platform key of the running Windows and the keys of the data
// profile's OS_DEFINE table that stand for it. Pure functions: the caller
// reads the version record and the table (CInstallTarget::ComputeOSDefine).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/os.h"

// "0X%04X%02X%02X" of platform id, major and minor version: 0X00010400
// Windows 95, 0X0001040A 98, 0X0001045A ME, 0X00020400 NT 4, 0X00020500
// 2000, 0X00020501 XP, 0X00020502 Server 2003 and XP x64, 0X00020600 Vista.
// A part too large for its digits counts as the largest value they hold
// (a later system falls to the family fallbacks, never onto an older key).
std::string PlatformKey(const os::VersionInfo& v);

// The OS_DEFINE keys to try, in order; the first one present gives the OS
// define string.
//   extendedOk     the record is the extended one (product type valid)
//   is64BitWindows the system is a 64-bit Windows (Is64BitWindows of utl.h)
//   isWindowsMe    the system says it is ME (IsWindowsME of utl.h); turns a
//                  4.10 record of platform 1 into 0X0001045A
// Order: on a 64-bit Windows "K.64", then by product type "K.64.PRO"
// (workstation), "K.64.DOM" and "K.64.SER" (domain controller) or
// "K.64.SER" (other); then K; then the family fallbacks: 0X0001040A on
// Windows 95/98/ME, 0X00020400 on major version 4, else DEF_WIN2KS and
// 0X00020500. A key is listed once.
std::vector<std::string> OsDefineCandidates(const os::VersionInfo& v, bool extendedOk,
                                            bool is64BitWindows, bool isWindowsMe);

// Looks up one key of a table: true and its value when present.
using OsTableLookup = std::function<bool(const std::string& key, std::string& value)>;

// The first candidate that lookup finds: true and its value in *define
// (left empty otherwise).
bool FindOsDefine(const std::vector<std::string>& candidates, const OsTableLookup& lookup,
                  std::string* define);

// $OS_DIR$: the OS_DIR entry of the define string (lookup into that table),
// else the define string itself; empty for an empty define string.
std::string OsDirectory(const std::string& define, const OsTableLookup& lookupOsDir);

// A Terminal Server: NT, product type server (3), Terminal Services in the
// suite mask; only the extended record tells.
bool IsTerminalServer(const os::VersionInfo& v, bool extendedOk);
