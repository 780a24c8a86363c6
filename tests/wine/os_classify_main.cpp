// Prints how the engine classifies the Windows it runs on, one line:
//   type=14 family=17 key=0X00020502 is64=1 wow64=0 extended=1 product=1 csd="Service Pack 2"
//   candidates=0X00020502.64,0X00020502.64.PRO,0X00020502,DEF_WIN2KS,0X00020500
// Under Wine each copy of it gets its own reported version.
#include <cstdio>
#include <string>

#include "platform/os.h"
#include "sys/os_define.h"
#include "sys/utl.h"

int main() {
    int type = 0, family = 0;
    if (!GetOSType(&type, &family)) {
        std::printf("no version record\n");
        return 1;
    }
    os::VersionInfo v;
    bool extended = os::GetVersionInfo(&v, true);
    if (!extended) os::GetVersionInfo(&v, false);
    std::string candidates;
    for (const std::string& key : OsDefineCandidates(v, extended, Is64BitWindows(), IsWindowsME()))
        candidates += (candidates.empty() ? "" : ",") + key;
    std::printf("type=%d family=%d key=%s is64=%d wow64=%d extended=%d product=%u csd=\"%s\" "
                "candidates=%s\n",
                type, family, PlatformKey(v).c_str(), Is64BitWindows() ? 1 : 0, IsWow64() ? 1 : 0,
                extended ? 1 : 0, static_cast<unsigned>(v.productType), v.csdVersion.c_str(),
                candidates.c_str());
    return 0;
}
