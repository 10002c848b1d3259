#include "process_resources.h"

#include "simulated_device.h"
#include "simulated_network.h"

#include <winternl.h>

#include <cstring>
#include <iomanip>
#include <sstream>
#include <vector>

namespace kxtest {

namespace {

struct HeapBlock {
    const void* address;
    SIZE_T bytes;
    unsigned char first[32]; // copied under the heap's lock: the block may be gone when reported
};

// The busy blocks of one moment, in storage of its own: recording them must not allocate from
// the heaps being walked. The two latest moments are kept, enough for a before and an after.
struct HeapSnapshot {
    static constexpr size_t Capacity = 32768;
    HeapBlock blocks[Capacity];
    size_t count;
};
HeapSnapshot g_heapSnapshots[2];
int g_lastHeapSnapshot = 0;

SIZE_T Record(HeapSnapshot& snapshot, const void* data, SIZE_T bytes)
{
    if (snapshot.count < HeapSnapshot::Capacity) {
        HeapBlock& block = snapshot.blocks[snapshot.count++];
        block.address = data;
        block.bytes = bytes;
        std::memcpy(block.first, data, bytes < sizeof block.first ? bytes : sizeof block.first);
    }
    return bytes;
}

// Wine's low-fragmentation front end serves small blocks out of groups of 31 that it takes from
// the heap as one block each, and keeps when they empty; a walk shows the group, never the
// blocks in it. So whether a group was taken or kept would count, and the blocks in it would
// not. A group is known by the front end's flag in its block header; its blocks in use are
// recorded in its place, each with the size it was asked for, as a walk reports other blocks.
struct WineBlockHeader {
    WORD units; // of 2 pointers
    WORD unusedBytes;
    WORD groupIndex;
    BYTE type;
    BYTE flags;
};
constexpr BYTE WineLowFragmentationBlock = 0x80;
constexpr BYTE WineBlockInUse = 'u';
constexpr int WineBlocksPerGroup = 31;
constexpr SIZE_T WineGroupBlocksOffset = 2 * sizeof(void*) + 2 * sizeof(LONG); // link, free bits, affinity

const WineBlockHeader& HeaderBefore(const void* data)
{
    return *(static_cast<const WineBlockHeader*>(data) - 1);
}

bool RecordGroupBlocks(HeapSnapshot& snapshot, const PROCESS_HEAP_ENTRY& entry, SIZE_T& total)
{
    const auto* group = static_cast<const BYTE*>(entry.lpData);
    if ((HeaderBefore(group).flags & WineLowFragmentationBlock) == 0 || entry.cbData <= WineGroupBlocksOffset) {
        return false;
    }
    const auto& first = *reinterpret_cast<const WineBlockHeader*>(group + WineGroupBlocksOffset);
    const SIZE_T stride = static_cast<SIZE_T>(first.units) * 2 * sizeof(void*);
    if ((first.flags & WineLowFragmentationBlock) == 0 || stride <= sizeof(WineBlockHeader) ||
        WineGroupBlocksOffset + WineBlocksPerGroup * stride > entry.cbData) {
        return false;
    }
    for (int index = 0; index < WineBlocksPerGroup; ++index) {
        const BYTE* block = group + WineGroupBlocksOffset + index * stride;
        const auto& header = *reinterpret_cast<const WineBlockHeader*>(block);
        if ((header.flags & WineLowFragmentationBlock) != 0 && header.type == WineBlockInUse &&
            header.unusedBytes < stride - sizeof header) {
            total += Record(snapshot, block + sizeof header, stride - sizeof header - header.unusedBytes);
        }
    }
    return true;
}

SIZE_T RecordBusyBlocks(HANDLE heap, HeapSnapshot& snapshot)
{
    SIZE_T total = 0;
    if (!::HeapLock(heap)) {
        return 0;
    }
    PROCESS_HEAP_ENTRY entry = {};
    while (::HeapWalk(heap, &entry)) {
        if ((entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0 && !RecordGroupBlocks(snapshot, entry, total)) {
            total += Record(snapshot, entry.lpData, entry.cbData);
        }
    }
    ::HeapUnlock(heap);
    return total;
}

// The C runtime keeps a heap of its own next to the process heap, so every heap is summed.
SIZE_T HeapBytesInUse(HeapSnapshot& snapshot)
{
    HANDLE heaps[64] = {};
    const DWORD count = ::GetProcessHeaps(ARRAYSIZE(heaps), heaps);
    SIZE_T total = 0;
    snapshot.count = 0;
    for (DWORD index = 0; index < count && index < ARRAYSIZE(heaps); ++index) {
        total += RecordBusyBlocks(heaps[index], snapshot);
    }
    return total;
}

bool Contains(const HeapSnapshot& snapshot, const HeapBlock& block)
{
    for (size_t index = 0; index < snapshot.count; ++index) {
        if (snapshot.blocks[index].address == block.address && snapshot.blocks[index].bytes == block.bytes) {
            return true;
        }
    }
    return false;
}

// A block's size and first bytes: a string, a pointer table or a list link tells whose it is.
std::string Describe(const HeapBlock& block)
{
    const SIZE_T shown = block.bytes < sizeof block.first ? block.bytes : sizeof block.first;
    std::ostringstream text;
    text << block.address << " (" << block.bytes << " bytes): " << std::hex << std::setfill('0');
    for (SIZE_T index = 0; index < shown; ++index) {
        text << std::setw(2) << static_cast<unsigned>(block.first[index]);
    }
    return text.str();
}

void ReportNewBlocks(std::ostringstream& report, const ProcessResources& before, const ProcessResources& after)
{
    if (before.heapSnapshot == after.heapSnapshot) {
        return;
    }
    const HeapSnapshot& old = g_heapSnapshots[before.heapSnapshot];
    const HeapSnapshot& now = g_heapSnapshots[after.heapSnapshot];
    int shown = 0;
    for (size_t index = 0; index < now.count && shown < 6; ++index) {
        if (!Contains(old, now.blocks[index])) {
            report << "new block " << Describe(now.blocks[index]) << "; ";
            ++shown;
        }
    }
}

using QuerySystemInformation = LONG(WINAPI*)(ULONG informationClass, void* buffer, ULONG bytes, ULONG* needed);
constexpr ULONG SystemProcessInformation = 5;
constexpr LONG StatusInfoLengthMismatch = static_cast<LONG>(0xC0000004);

// Wine's process list gives, as a process's handle count, the size its handle table has
// grown to: no handle of the process lies beyond it.
ULONG OwnHandleTableSize()
{
    auto query = reinterpret_cast<QuerySystemInformation>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (query == nullptr) {
        return 0;
    }
    std::vector<BYTE> buffer(1 << 16);
    LONG status = StatusInfoLengthMismatch;
    while ((status = query(SystemProcessInformation, buffer.data(), static_cast<ULONG>(buffer.size()), nullptr)) ==
           StatusInfoLengthMismatch) {
        buffer.resize(buffer.size() * 2);
    }
    const auto self = static_cast<ULONG_PTR>(::GetCurrentProcessId());
    for (size_t offset = 0; status >= 0 && offset + sizeof(SYSTEM_PROCESS_INFORMATION) <= buffer.size();) {
        const auto* process = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(buffer.data() + offset);
        if (reinterpret_cast<ULONG_PTR>(process->UniqueProcessId) == self) {
            return process->HandleCount;
        }
        if (process->NextEntryOffset == 0) {
            break;
        }
        offset += process->NextEntryOffset;
    }
    return 0;
}

// Wine answers GetProcessHandleCount with 0, and its server's system-wide handle list must not
// be asked for: Wine 8's server walks the handle table of a process that has none yet (one that
// is starting) past its end and dies of it. So every slot of this process's own table is tried.
DWORD HandlesInOwnTable()
{
    const ULONG slots = OwnHandleTableSize();
    DWORD count = 0;
    for (ULONG slot = 0; slot < slots; ++slot) {
        DWORD flags = 0;
        const auto handle = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(slot + 1) * 4);
        count += ::GetHandleInformation(handle, &flags) ? 1 : 0;
    }
    return count;
}

DWORD HandleCount()
{
    DWORD count = 0;
    ::GetProcessHandleCount(::GetCurrentProcess(), &count);
    return count != 0 ? count : HandlesInOwnTable();
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
    g_lastHeapSnapshot = 1 - g_lastHeapSnapshot;
    resources.heapSnapshot = g_lastHeapSnapshot;
    resources.heapBytes = HeapBytesInUse(g_heapSnapshots[g_lastHeapSnapshot]);
    return resources;
}

std::string ResourceGrowth(const ProcessResources& before, const ProcessResources& after,
                           const ResourceTolerance& tolerance)
{
    std::ostringstream report;
    ReportGrowth(report, "handles", before.handles, after.handles, tolerance.handles);
    const std::streampos reported = report.tellp();
    ReportGrowth(report, "heap bytes", before.heapBytes, after.heapBytes, tolerance.heapBytes);
    if (report.tellp() != reported) {
        ReportNewBlocks(report, before, after);
    }
    ReportGrowth(report, "GDI objects", before.gdiObjects, after.gdiObjects, DWORD{0});
    ReportGrowth(report, "USER objects", before.userObjects, after.userObjects, DWORD{0});
    ReportGrowth(report, "windows", before.windows, after.windows, DWORD{0});
    ReportGrowth(report, "finder objects", before.finderObjects, after.finderObjects, LONG{0});
    ReportGrowth(report, "open enumerations", before.openEnumerations, after.openEnumerations, LONG{0});
    return report.str();
}

} // namespace kxtest
