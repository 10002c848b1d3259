#include "allocation_faults.h"

#include <oleauto.h>

#include <cstdlib>
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
    decltype(&std::malloc) malloc = nullptr;
    decltype(&std::calloc) calloc = nullptr;
    decltype(&std::realloc) realloc = nullptr;
    decltype(&std::free) free = nullptr;
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

void* __cdecl WatchedMalloc(size_t bytes)
{
    return ShouldFail() ? nullptr : Track(g_ledger.malloc(bytes));
}

void* __cdecl WatchedCalloc(size_t count, size_t bytes)
{
    return ShouldFail() ? nullptr : Track(g_ledger.calloc(count, bytes));
}

// A failed realloc keeps the old block; a successful one may move it.
void* __cdecl WatchedRealloc(void* block, size_t bytes)
{
    if (ShouldFail()) {
        return nullptr;
    }
    void* moved = g_ledger.realloc(block, bytes);
    if (moved != nullptr || bytes == 0) {
        g_ledger.live.erase(block);
    }
    return Track(moved);
}

void __cdecl WatchedFree(void* block)
{
    g_ledger.live.erase(block);
    g_ledger.free(block);
}

template <typename Function>
std::unique_ptr<ImportPatch> Patch(HMODULE module, const char* dll, const char* name, Function replacement)
{
    return std::make_unique<ImportPatch>(module, dll, name, reinterpret_cast<const void*>(replacement));
}

} // namespace

void AllocationFaults::WatchCRuntime(HMODULE module)
{
    g_ledger.malloc = &std::malloc;
    g_ledger.calloc = &std::calloc;
    g_ledger.realloc = &std::realloc;
    g_ledger.free = &std::free;
    patches_[6] = Patch(module, "msvcrt.dll", "malloc", &WatchedMalloc);
    patches_[7] = Patch(module, "msvcrt.dll", "calloc", &WatchedCalloc);
    patches_[8] = Patch(module, "msvcrt.dll", "realloc", &WatchedRealloc);
    patches_[9] = Patch(module, "msvcrt.dll", "free", &WatchedFree);
}

AllocationFaults::AllocationFaults(HMODULE module, int failingAllocation, Sources sources)
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
    if (sources == Sources::WindowsApiAndCRuntime) {
        WatchCRuntime(module);
    }
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
