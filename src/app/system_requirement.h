// The minimum requirements of a package: free disk space, unsupported
// Windows versions, a usable USB device for a USB-only package.
#pragma once

#include <cstdint>
#include <string>

class CSystemRequirement {
public:
    // Reads the data profile's SYSTEM_REQUIREMENT section; without one the
    // check is inactive and never refuses.
    CSystemRequirement();
    virtual ~CSystemRequirement() = default;

    bool Check(bool usbOnly);
    // The free space of the drive of path against FREE_SPACE.
    bool CheckFreeSpace(const std::string& path, bool report);
    enum Kind { kFreeSpace = 1, kOs = 2, kUsb = 3 };
    void Report(int kind);

    bool active() const { return active_; }
    uint32_t freeSpaceMb() const { return freeSpaceMb_; }
    const std::string& unsupportedOs() const { return unsupportedOs_; }

protected:
    // Free space in MB as the utility library reports it; 0: no figure.
    virtual uint32_t FreeSpaceMb(const std::string& path);
    // Devices of the model; -1: USB is not available.
    virtual int DevicePortCount();

private:
    bool active_ = false;
    uint32_t freeSpaceMb_ = 0;
    std::string unsupportedOs_;
    std::string msgNotSupportedOs_;
    std::string msgNoFreeSpace_;
    std::string msgUsbNotAvailable_;
};
