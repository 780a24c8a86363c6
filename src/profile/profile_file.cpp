#include "platform/os.h"
#include "profile/profile.h"

uint32_t CProfile::LoadFile(const char* fileName, CSectionList& list) {
    if (!fileName || !*fileName) return os::kErrInvalidParameter;
    std::string data;
    uint32_t rc = os::ReadWholeFile(fileName, data);
    if (rc != 0) return rc;
    LoadText(data.data(), data.size(), list);
    return 0;
}
