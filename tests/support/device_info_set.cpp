#include "device_info_set.h"

namespace kxtest {

namespace {

// A class of its own, so the phantom element can never be mistaken for a real device.
const GUID TestDeviceClass = {0x6b1c0d2e, 0x41a7, 0x4c1f, {0x9e, 0x20, 0x5d, 0x7a, 0x11, 0x83, 0xc4, 0x02}};

} // namespace

DeviceInfoSet::DeviceInfoSet() : set_(::SetupDiCreateDeviceInfoList(nullptr, nullptr))
{
    element_.cbSize = sizeof(element_);
    valid_ = set_ != INVALID_HANDLE_VALUE && ::SetupDiCreateDeviceInfoW(set_, L"KXTEST", &TestDeviceClass, nullptr,
                                                                        nullptr, DICD_GENERATE_ID, &element_);
}

DeviceInfoSet::~DeviceInfoSet()
{
    if (set_ != INVALID_HANDLE_VALUE) {
        ::SetupDiDestroyDeviceInfoList(set_);
    }
}

SP_DEVINSTALL_PARAMS_W EmptyInstallParams()
{
    SP_DEVINSTALL_PARAMS_W params = {};
    params.cbSize = sizeof(params);
    return params;
}

} // namespace kxtest
