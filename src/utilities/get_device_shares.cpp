#include "utilities/utilities.h"

#include "common/bounded_text.h"
#include "common/trace.h"
#include "common/unique_handle.h"

#include <winnetwk.h>

#include <cstdint>

namespace kx {

namespace {

constexpr DWORD EnumerationBufferBytes = 9600;
constexpr DWORD AsManyAsFit = 0xFFFFFFFF;

// The caller's list and its count, as one thing to fill.
struct ShareListView {
    UINT* count;
    UINT capacity;
    ShareNameSlot* slots;

    bool CannotTakeAnother() const noexcept { return *count >= capacity || slots[*count][0] != L'\0'; }
};

// One batch as the provider left it in the buffer. Strings must lie inside the buffer and end
// there; anything else is a malformed answer and is not read.
class EnumerationBatch {
public:
    EnumerationBatch(const BYTE* buffer, DWORD entryCount) noexcept
        : begin_(reinterpret_cast<std::uintptr_t>(buffer)), end_(begin_ + EnumerationBufferBytes),
          entries_(reinterpret_cast<const NETRESOURCEW*>(buffer)),
          entryCount_(entryCount < MaximumEntries ? entryCount : MaximumEntries)
    {
    }

    DWORD EntryCount() const noexcept { return entryCount_; }
    const NETRESOURCEW& Entry(DWORD index) const noexcept { return entries_[index]; }

    // The length of text, or false when it is null or does not end inside the buffer.
    bool ReadableLength(const wchar_t* text, std::size_t* length) const noexcept
    {
        const auto address = reinterpret_cast<std::uintptr_t>(text);
        if (text == nullptr || address < begin_ || address >= end_ || address % sizeof(wchar_t) != 0) {
            return false;
        }
        const std::size_t room = (end_ - address) / sizeof(wchar_t);
        for (std::size_t index = 0; index < room; ++index) {
            if (text[index] == L'\0') {
                *length = index;
                return true;
            }
        }
        return false;
    }

private:
    static constexpr DWORD MaximumEntries = EnumerationBufferBytes / sizeof(NETRESOURCEW);

    std::uintptr_t begin_;
    std::uintptr_t end_;
    const NETRESOURCEW* entries_;
    DWORD entryCount_;
};

std::size_t ShareNameStart(const wchar_t* remoteName, std::size_t length) noexcept
{
    for (std::size_t position = length; position > 0; --position) {
        if (remoteName[position - 1] == L'\\') {
            return position;
        }
    }
    return 0;
}

void StoreShare(const wchar_t* remoteName, std::size_t length, ShareListView& list) noexcept
{
    TraceLineToSink(L"CUtilities::GetDeviceShares -- Share found: %s\r\n", remoteName);
    if (list.CannotTakeAnother()) {
        TraceLineToSink(L"Exiting CUtilities::GetDeviceShares -- shares[] is full!\r\n");
        return;
    }
    TraceLineToSink(L"Start index before: %d\r\n", static_cast<int>(length));
    const std::size_t start = ShareNameStart(remoteName, length);
    TraceLineToSink(L"Start index after: %d\r\n", static_cast<int>(start));
    if (start == length) {
        // \\host\ names no share; an empty slot inside the count would end the list early.
        return;
    }
    wchar_t* slot = list.slots[*list.count];
    BoundedCopy(slot, ShareNameLength, remoteName + start);
    TraceLineToSink(L"Share name: %s\r\n", slot);
    ++*list.count;
}

void StoreBatch(const EnumerationBatch& batch, ShareListView& list) noexcept
{
    for (DWORD index = 0; index < batch.EntryCount(); ++index) {
        const NETRESOURCEW& entry = batch.Entry(index);
        std::size_t length = 0;
        if (entry.dwDisplayType != RESOURCEDISPLAYTYPE_SHARE || !batch.ReadableLength(entry.lpRemoteName, &length)) {
            continue;
        }
        StoreShare(entry.lpRemoteName, length, list);
    }
}

// Reads batches until the provider stops; answers the result that ended the loop.
DWORD StoreAllBatches(HANDLE enumeration, ShareListView& list)
{
    alignas(NETRESOURCEW) BYTE buffer[EnumerationBufferBytes];
    for (;;) {
        DWORD entryCount = AsManyAsFit;
        DWORD bufferBytes = EnumerationBufferBytes;
        const DWORD result = ::WNetEnumResourceW(enumeration, &entryCount, buffer, &bufferBytes);
        if (result != NO_ERROR) {
            return result;
        }
        StoreBatch(EnumerationBatch(buffer, entryCount), list);
    }
}

// Opens and reads the enumeration; false when it could not be opened.
bool EnumerateShares(NETRESOURCEW& request, unique_wnet_enum& enumeration, ShareListView& list)
{
    HANDLE opened = nullptr;
    const DWORD openResult = ::WNetOpenEnumW(RESOURCE_GLOBALNET, RESOURCETYPE_DISK, 0, &request, &opened);
    if (openResult != NO_ERROR) {
        TraceLineToSink(L"CUtilities::GetDeviceShares -- WnetOpenEnum failed with error: %d\r\n",
                        static_cast<int>(openResult));
        return false;
    }
    enumeration.reset(opened);
    const DWORD endResult = StoreAllBatches(enumeration.get(), list);
    if (endResult != ERROR_NO_MORE_ITEMS) {
        TraceLineToSink(L"CUtilities::GetDeviceShares -- WNetEnumResource failed with error: %d\r\n",
                        static_cast<int>(endResult));
    }
    return true;
}

int CloseEnumeration(unique_wnet_enum& enumeration) noexcept
{
    if (enumeration) {
        const DWORD closeResult = ::WNetCloseEnum(enumeration.release());
        if (closeResult != NO_ERROR) {
            TraceLineToSink(L"CUtilities::GetDeviceShares -- WNetCloseEnum failed with error: %d\r\n",
                            static_cast<int>(closeResult));
            return 0;
        }
    }
    TraceLineToSink(L"Exiting CUtilities::GetDeviceShares...\r\n");
    return 1;
}

} // namespace

int CUtilities::GetDeviceShares(const wchar_t* deviceName, UINT* count, UINT capacity, ShareNameSlot* shares)
{
    TraceLineToSink(L"Entering CUtilities::GetDeviceShares...\r\n");
    TraceLineToSink(L"CUtilities::GetDeviceShares -- deviceName: %s\r\n", deviceName != nullptr ? deviceName : L"");
    // Without a device name the provider would enumerate the whole network, and without a
    // count or slots there is nowhere to store a name.
    if (deviceName == nullptr || count == nullptr || (shares == nullptr && capacity != 0)) {
        return 0;
    }

    wchar_t emptyText[1] = {L'\0'};
    NETRESOURCEW request = {};
    request.dwScope = RESOURCE_GLOBALNET;
    request.dwType = RESOURCETYPE_DISK;
    request.dwDisplayType = 0;
    request.dwUsage = RESOURCEUSAGE_CONTAINER;
    request.lpLocalName = emptyText;
    request.lpRemoteName = const_cast<wchar_t*>(deviceName);
    request.lpComment = emptyText;
    request.lpProvider = emptyText;

    ShareListView list{count, capacity, shares};
    unique_wnet_enum enumeration;
    try {
        if (!EnumerateShares(request, enumeration, list)) {
            return 0;
        }
    } catch (...) {
        TraceLineToSink(L"Exiting CUtilities::GetDeviceShares -- try/catch exception thrown!\r\n");
    }
    return CloseEnumeration(enumeration);
}

} // namespace kx
