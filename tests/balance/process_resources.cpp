#include "process_resources.h"

#include "simulated_device.h"
#include "simulated_network.h"

#include <sstream>
#include <vector>

namespace kxtest {

namespace {

SIZE_T BusyBytes(HANDLE heap)
{
    SIZE_T total = 0;
    if (!::HeapLock(heap)) {
        return 0;
    }
    PROCESS_HEAP_ENTRY entry = {};
    while (::HeapWalk(heap, &entry)) {
        if ((entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0) {
            total += entry.cbData;
        }
    }
    ::HeapUnlock(heap);
    return total;
}

// The C runtime keeps a heap of its own next to the process heap, so every heap is summed.
SIZE_T HeapBytesInUse()
{
    HANDLE heaps[64] = {};
    const DWORD count = ::GetProcessHeaps(ARRAYSIZE(heaps), heaps);
    SIZE_T total = 0;
    for (DWORD index = 0; index < count && index < ARRAYSIZE(heaps); ++index) {
        total += BusyBytes(heaps[index]);
    }
    return total;
}

// The layout that NtQuerySystemInformation(SystemHandleInformation) fills in.
struct SystemHandleEntry {
    ULONG ownerProcessId;
    BYTE objectType;
    BYTE flags;
    USHORT handleValue;
    PVOID object;
    ACCESS_MASK access;
};
struct SystemHandleTable {
    ULONG count;
    SystemHandleEntry entries[1];
};
using QuerySystemInformation = LONG(WINAPI*)(ULONG informationClass, void* buffer, ULONG bytes, ULONG* needed);
constexpr ULONG SystemHandleInformation = 16;
constexpr LONG StatusInfoLengthMismatch = static_cast<LONG>(0xC0000004);

// Wine answers GetProcessHandleCount with 0; the system-wide handle table it does keep.
DWORD HandlesInSystemTable()
{
    auto query = reinterpret_cast<QuerySystemInformation>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (query == nullptr) {
        return 0;
    }
    std::vector<BYTE> buffer(1 << 16);
    LONG status = StatusInfoLengthMismatch;
    while ((status = query(SystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), nullptr)) ==
           StatusInfoLengthMismatch) {
        buffer.resize(buffer.size() * 2);
    }
    if (status < 0) {
        return 0;
    }
    const auto* table = reinterpret_cast<const SystemHandleTable*>(buffer.data());
    const ULONG self = ::GetCurrentProcessId();
    DWORD count = 0;
    for (ULONG index = 0; index < table->count; ++index) {
        count += table->entries[index].ownerProcessId == self ? 1 : 0;
    }
    return count;
}

DWORD HandleCount()
{
    DWORD count = 0;
    ::GetProcessHandleCount(::GetCurrentProcess(), &count);
    return count != 0 ? count : HandlesInSystemTable();
}

BOOL CALLBACK CountOwnWindow(HWND window, LPARAM counter)
{
    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    if (processId == ::GetCurrentProcessId()) {
        ++*reinterpret_cast<DWORD*>(counter);
        ::EnumChildWindows(window, CountOwnWindow, counter);
    }
    return TRUE;
}

// Windows are USER objects; Wine's GetGuiResources counts none, so they are counted here.
DWORD OwnWindows()
{
    DWORD count = 0;
    ::EnumWindows(CountOwnWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

template <typename Number>
void ReportGrowth(std::ostringstream& report, const char* what, Number before, Number after, Number allowed)
{
    if (after > before && after - before > allowed) {
        report << what << " grew from " << before << " to " << after << "; ";
    }
}

} // namespace

ProcessResources TakeResources()
{
    ProcessResources resources = {};
    resources.handles = HandleCount();
    resources.windows = OwnWindows();
    resources.gdiObjects = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
    resources.userObjects = ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS);
    resources.finderObjects = UpnpFinderStatistics().liveObjects;
    resources.openEnumerations = StandInOpenEnumerations();
    // Last, so that nothing above is counted in it.
    resources.heapBytes = HeapBytesInUse();
    return resources;
}

std::string ResourceGrowth(const ProcessResources& before, const ProcessResources& after,
                           const ResourceTolerance& tolerance)
{
    std::ostringstream report;
    ReportGrowth(report, "handles", before.handles, after.handles, tolerance.handles);
    ReportGrowth(report, "heap bytes", before.heapBytes, after.heapBytes, tolerance.heapBytes);
    ReportGrowth(report, "GDI objects", before.gdiObjects, after.gdiObjects, DWORD{0});
    ReportGrowth(report, "USER objects", before.userObjects, after.userObjects, DWORD{0});
    ReportGrowth(report, "windows", before.windows, after.windows, DWORD{0});
    ReportGrowth(report, "finder objects", before.finderObjects, after.finderObjects, LONG{0});
    ReportGrowth(report, "open enumerations", before.openEnumerations, after.openEnumerations, LONG{0});
    return report.str();
}

} // namespace kxtest
