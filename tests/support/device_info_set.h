#pragma once

#include <windows.h>
#include <setupapi.h>

namespace kxtest {

// A real device information set with one (phantom) device element in it, as the installation
// framework hands one to a co-installer. Destroyed with the object.
class DeviceInfoSet {
public:
    DeviceInfoSet();
    ~DeviceInfoSet();
    DeviceInfoSet(const DeviceInfoSet&) = delete;
    DeviceInfoSet& operator=(const DeviceInfoSet&) = delete;

    bool Valid() const { return valid_; }
    HDEVINFO Set() const { return set_; }
    SP_DEVINFO_DATA* Element() { return &element_; }

private:
    HDEVINFO set_;
    SP_DEVINFO_DATA element_ = {};
    bool valid_ = false;
};

SP_DEVINSTALL_PARAMS_W EmptyInstallParams();

} // namespace kxtest
