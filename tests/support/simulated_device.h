#pragma once

#include "../sim/upnp_finder/simulated_upnp_config.h"

#include <string>

namespace kxtest {

// A device the stand-in UPnP finder knows for as long as this object lives.
class SimulatedUpnpDevice {
public:
    SimulatedUpnpDevice(std::wstring udn, const std::wstring& descriptionUrl,
                        const wchar_t* behaviour = kxsim::BehaviourNormal);
    ~SimulatedUpnpDevice();
    SimulatedUpnpDevice(const SimulatedUpnpDevice&) = delete;
    SimulatedUpnpDevice& operator=(const SimulatedUpnpDevice&) = delete;

    const std::wstring& Udn() const { return udn_; }

private:
    std::wstring udn_;
};

// "uuid:" and a name that no other test process uses.
std::wstring NewUdn();

// The finder DLL's counters in this process; all zero while the finder was never loaded.
kxsim::SimUpnpStatistics UpnpFinderStatistics();

} // namespace kxtest
