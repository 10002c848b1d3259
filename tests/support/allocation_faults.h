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

    explicit AllocationFaults(HMODULE module, int failingAllocation = NeverFail);
    ~AllocationFaults();
    AllocationFaults(const AllocationFaults&) = delete;
    AllocationFaults& operator=(const AllocationFaults&) = delete;

    // Allocations attempted so far, the failed one included.
    int Attempts() const;
    bool InjectedFailure() const;
    // Blocks and BSTRs allocated under watch and not freed yet.
    int Outstanding() const;

private:
    std::unique_ptr<ImportPatch> patches_[6];
};

} // namespace kxtest
