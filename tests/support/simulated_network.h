#pragma once

#include "../sim/mpr/simulated_network_config.h"

#include <string>
#include <vector>

namespace kxtest {

// A host that the stand-in mpr.dll knows for as long as this object lives, under a name that
// no other test process uses. Entries follow the grammar of simulated_network_config.h.
class SimulatedShareHost {
public:
    explicit SimulatedShareHost(const std::vector<std::wstring>& entries);
    // A host with a name of the caller's choice (for names of a given length).
    SimulatedShareHost(std::wstring name, const std::vector<std::wstring>& entries);
    ~SimulatedShareHost();
    SimulatedShareHost(const SimulatedShareHost&) = delete;
    SimulatedShareHost& operator=(const SimulatedShareHost&) = delete;

    const std::wstring& Name() const { return name_; }
    // \\name
    std::wstring Unc() const { return L"\\\\" + name_; }

    void SetNumber(const wchar_t* valueName, DWORD number);
    void FailBatch(DWORD batch, DWORD error);
    void Refuse(const std::wstring& share, DWORD error);

private:
    std::wstring name_;
};

// Gives this test process a call log and a drive table of its own for the stand-in mpr.dll
// (through the variables it reads), and removes both at the end.
class SimulatedNetworkSession {
public:
    SimulatedNetworkSession();
    ~SimulatedNetworkSession();
    SimulatedNetworkSession(const SimulatedNetworkSession&) = delete;
    SimulatedNetworkSession& operator=(const SimulatedNetworkSession&) = delete;

    // The calls logged since the session began, one line each.
    std::vector<std::string> Calls() const;
    // Marks each of letters ("ZY") as in use.
    void MakeLettersBusy(const std::wstring& letters);
    // The remote name letter is connected to, or "" when it is free.
    std::wstring DriveConnection(wchar_t letter) const;

private:
    std::wstring logPath_;
    std::wstring driveTable_;
};

// Whether this process runs the stand-in mpr.dll (WINEDLLOVERRIDES=mpr=n) rather than Wine's.
bool StandInMprLoaded();
// Enumerations the stand-in has open in this process.
LONG StandInOpenEnumerations();

} // namespace kxtest
