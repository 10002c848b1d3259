#pragma once

#include "../sim/upnp_finder/simulated_upnp_config.h"
#include "simulated_network.h"

#include <string>
#include <vector>

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

// A simulated device on the network: found by the UPnP finder, answering on a share host.
class SimulatedNas {
public:
    explicit SimulatedNas(const std::vector<std::wstring>& shares);
    SimulatedNas(std::wstring hostName, const std::vector<std::wstring>& shares);
    const std::wstring& HostName() const { return host_.Name(); }
    SimulatedShareHost& Host() { return host_; }
    const std::wstring& Udn() const { return device_.Udn(); }
    // The device reports its first share, fails the next batch and then the close, so that a
    // Mount command ends before any window, through both error paths of the enumeration.
    void FailEnumerationLate();
    // "KXBL_VNTRTZ71_2_2_0.dll,<verb> uuid:..." as the shell passes it
    std::string CommandLine(const char* verb) const;

private:
    SimulatedShareHost host_;
    SimulatedUpnpDevice device_;
};

// "uuid:" and a name that no other test process uses.
std::wstring NewUdn();

// "rundll32.exe KXBL_VNTRTZ71_2_2_0.dll,<entry> <identity>", as the shell runs a verb.
std::wstring Rundll32Command(const wchar_t* entry, const std::wstring& identity);

// The finder DLL's counters in this process; all zero while the finder was never loaded.
kxsim::SimUpnpStatistics UpnpFinderStatistics();

} // namespace kxtest
