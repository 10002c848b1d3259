#pragma once

#include "import_patch.h"

#include <memory>

namespace kxtest {

// Watches the heap blocks and BSTRs that one module allocates through the Windows API, and can
// make the allocation with a given number (counted from 0) fail as if memory had run out.
// One instance at a time.
class AllocationFaults {
public:
    static constexpr int NeverFail = -1;

    // Which imports of the module are watched. A program linked with the test framework keeps
    // its C runtime unwatched: the framework allocates through it too. A loaded library's
    // operator new and exception objects come through the C runtime's malloc family.
    enum class Sources { WindowsApi, WindowsApiAndCRuntime };

    explicit AllocationFaults(HMODULE module, int failingAllocation = NeverFail, Sources sources = Sources::WindowsApi);
    ~AllocationFaults();
    AllocationFaults(const AllocationFaults&) = delete;
    AllocationFaults& operator=(const AllocationFaults&) = delete;

    // Allocations attempted so far, the failed one included.
    int Attempts() const;
    bool InjectedFailure() const;
    // Blocks and BSTRs allocated under watch and not freed yet.
    int Outstanding() const;

private:
    void WatchCRuntime(HMODULE module);

    std::unique_ptr<ImportPatch> patches_[10];
};

} // namespace kxtest
