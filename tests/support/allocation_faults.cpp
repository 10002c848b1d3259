#include "allocation_faults.h"

#include <oleauto.h>

#include <set>

namespace kxtest {

namespace {

struct Ledger {
    int attempts = 0;
    int failingAllocation = AllocationFaults::NeverFail;
    bool injected = false;
    std::set<const void*> live;
    decltype(&::HeapAlloc) heapAlloc = nullptr;
    decltype(&::HeapFree) heapFree = nullptr;
    decltype(&::SysAllocString) sysAllocString = nullptr;
    decltype(&::SysAllocStringLen) sysAllocStringLen = nullptr;
    decltype(&::SysAllocStringByteLen) sysAllocStringByteLen = nullptr;
    decltype(&::SysFreeString) sysFreeString = nullptr;
};

Ledger g_ledger;

bool ShouldFail()
{
    const int attempt = g_ledger.attempts++;
    if (attempt == g_ledger.failingAllocation) {
        g_ledger.injected = true;
        return true;
    }
    return false;
}

template <typename T>
T Track(T pointer)
{
    if (pointer != nullptr) {
        g_ledger.live.insert(pointer);
    }
    return pointer;
}

LPVOID WINAPI WatchedHeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes)
{
    return ShouldFail() ? nullptr : Track(g_ledger.heapAlloc(heap, flags, bytes));
}

BOOL WINAPI WatchedHeapFree(HANDLE heap, DWORD flags, LPVOID block)
{
    g_ledger.live.erase(block);
    return g_ledger.heapFree(heap, flags, block);
}

BSTR WINAPI WatchedSysAllocString(const OLECHAR* text)
{
    return ShouldFail() ? nullptr : Track(g_ledger.sysAllocString(text));
}

BSTR WINAPI WatchedSysAllocStringLen(const OLECHAR* text, UINT length)
{
    return ShouldFail() ? nullptr : Track(g_ledger.sysAllocStringLen(text, length));
}

BSTR WINAPI WatchedSysAllocStringByteLen(LPCSTR text, UINT bytes)
{
    return ShouldFail() ? nullptr : Track(g_ledger.sysAllocStringByteLen(text, bytes));
}

void WINAPI WatchedSysFreeString(BSTR text)
{
    g_ledger.live.erase(text);
    g_ledger.sysFreeString(text);
}

} // namespace

AllocationFaults::AllocationFaults(HMODULE module, int failingAllocation)
{
    g_ledger = Ledger();
    g_ledger.failingAllocation = failingAllocation;
    g_ledger.heapAlloc = &::HeapAlloc;
    g_ledger.heapFree = &::HeapFree;
    g_ledger.sysAllocString = &::SysAllocString;
    g_ledger.sysAllocStringLen = &::SysAllocStringLen;
    g_ledger.sysAllocStringByteLen = &::SysAllocStringByteLen;
    g_ledger.sysFreeString = &::SysFreeString;
    patches_[0] = std::make_unique<ImportPatch>(module, "KERNEL32.dll", "HeapAlloc",
                                                reinterpret_cast<const void*>(&WatchedHeapAlloc));
    patches_[1] = std::make_unique<ImportPatch>(module, "KERNEL32.dll", "HeapFree",
                                                reinterpret_cast<const void*>(&WatchedHeapFree));
    patches_[2] = std::make_unique<ImportPatch>(module, "OLEAUT32.dll", "SysAllocString",
                                                reinterpret_cast<const void*>(&WatchedSysAllocString));
    patches_[3] = std::make_unique<ImportPatch>(module, "OLEAUT32.dll", "SysAllocStringLen",
                                                reinterpret_cast<const void*>(&WatchedSysAllocStringLen));
    patches_[4] = std::make_unique<ImportPatch>(module, "OLEAUT32.dll", "SysAllocStringByteLen",
                                                reinterpret_cast<const void*>(&WatchedSysAllocStringByteLen));
    patches_[5] = std::make_unique<ImportPatch>(module, "OLEAUT32.dll", "SysFreeString",
                                                reinterpret_cast<const void*>(&WatchedSysFreeString));
}

AllocationFaults::~AllocationFaults()
{
    for (auto& patch : patches_) {
        patch.reset();
    }
}

int AllocationFaults::Attempts() const
{
    return g_ledger.attempts;
}

bool AllocationFaults::InjectedFailure() const
{
    return g_ledger.injected;
}

int AllocationFaults::Outstanding() const
{
    return static_cast<int>(g_ledger.live.size());
}

} // namespace kxtest
