// WNetOpenEnumW, WNetEnumResourceW and WNetCloseEnum for the simulated hosts, with the Windows
// contract for a container enumeration: batches packed into the caller's buffer (records first,
// their strings from the end), ERROR_MORE_DATA when not even one entry fits, ERROR_NO_MORE_ITEMS
// at the end.

#include "call_log.h"
#include "network_model.h"
#include "simulated_network_config.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <memory>
#include <set>
#include <string>

namespace {

struct Enumeration {
    kxsim::SimulatedHost host;
    std::size_t position = 0;
    DWORD calls = 0;
};

SRWLOCK g_lock = SRWLOCK_INIT;
std::set<Enumeration*> g_openEnumerations;

class ExclusiveLock {
public:
    ExclusiveLock() { ::AcquireSRWLockExclusive(&g_lock); }
    ~ExclusiveLock() { ::ReleaseSRWLockExclusive(&g_lock); }
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;
};

bool ProviderIsAccepted(const wchar_t* provider)
{
    return provider == nullptr || provider[0] == L'\0' || std::wstring(provider) == kxsim::ProviderName;
}

// \\host gives host; anything else gives "".
std::wstring ServerName(const wchar_t* remoteName)
{
    if (remoteName == nullptr || remoteName[0] != L'\\' || remoteName[1] != L'\\') {
        return {};
    }
    const std::wstring host(remoteName + 2);
    return host.find(L'\\') == std::wstring::npos ? host : std::wstring();
}

DWORD OpenEnumeration(DWORD scope, const NETRESOURCEW* container, HANDLE* handle)
{
    if (handle == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (scope != RESOURCE_GLOBALNET || container == nullptr) {
        return ERROR_NOT_SUPPORTED;
    }
    if ((container->dwUsage & RESOURCEUSAGE_CONTAINER) == 0) {
        return ERROR_NOT_CONTAINER;
    }
    if (!ProviderIsAccepted(container->lpProvider)) {
        return ERROR_BAD_PROVIDER;
    }
    auto enumeration = std::make_unique<Enumeration>();
    if (!kxsim::ReadSimulatedHost(ServerName(container->lpRemoteName), &enumeration->host)) {
        return ERROR_BAD_NETPATH;
    }
    if (enumeration->host.openError != NO_ERROR) {
        return enumeration->host.openError;
    }
    ExclusiveLock lock;
    g_openEnumerations.insert(enumeration.get());
    *handle = enumeration.release();
    return NO_ERROR;
}

std::size_t StringBytes(const wchar_t* text)
{
    return text == nullptr ? 0 : (std::wcslen(text) + 1) * sizeof(wchar_t);
}

// Lays entries out as Windows does; answers how many fit, and the bytes the first one needs.
class BatchWriter {
public:
    BatchWriter(void* buffer, DWORD bytes)
        : base_(static_cast<BYTE*>(buffer)), recordsEnd_(0), stringsStart_(bytes & ~static_cast<DWORD>(1))
    {
    }

    static std::size_t BytesFor(const kxsim::SimulatedEntry& entry)
    {
        return sizeof(NETRESOURCEW) + (entry.remoteNameIsNull ? 0 : StringBytes(entry.remoteName.c_str())) +
               StringBytes(L"") + StringBytes(kxsim::ProviderName);
    }

    bool Add(const kxsim::SimulatedEntry& entry)
    {
        if (recordsEnd_ + BytesFor(entry) > stringsStart_) {
            return false;
        }
        auto* record = reinterpret_cast<NETRESOURCEW*>(base_ + recordsEnd_);
        recordsEnd_ += sizeof(NETRESOURCEW);
        *record = {};
        record->dwScope = RESOURCE_GLOBALNET;
        record->dwType = RESOURCETYPE_DISK;
        record->dwDisplayType = entry.displayType;
        record->dwUsage =
            entry.displayType == RESOURCEDISPLAYTYPE_SHARE ? RESOURCEUSAGE_CONNECTABLE : RESOURCEUSAGE_CONTAINER;
        record->lpRemoteName = entry.remoteNameIsNull ? nullptr : Place(entry.remoteName.c_str());
        record->lpComment = Place(L"");
        record->lpProvider = Place(kxsim::ProviderName);
        return true;
    }

private:
    wchar_t* Place(const wchar_t* text)
    {
        const std::size_t bytes = StringBytes(text);
        stringsStart_ -= bytes;
        auto* placed = reinterpret_cast<wchar_t*>(base_ + stringsStart_);
        std::memcpy(placed, text, bytes);
        return placed;
    }

    BYTE* base_;
    std::size_t recordsEnd_;
    std::size_t stringsStart_;
};

DWORD NextBatch(Enumeration& enumeration, DWORD* count, void* buffer, DWORD* bufferBytes)
{
    ++enumeration.calls;
    if (enumeration.calls == enumeration.host.failingBatch) {
        return enumeration.host.batchError;
    }
    const auto& entries = enumeration.host.entries;
    if (enumeration.position >= entries.size()) {
        return ERROR_NO_MORE_ITEMS;
    }
    const DWORD limit = enumeration.host.batchSize == 0 ? *count : std::min(*count, enumeration.host.batchSize);
    BatchWriter writer(buffer, *bufferBytes);
    DWORD written = 0;
    while (written < limit && enumeration.position < entries.size() && writer.Add(entries[enumeration.position])) {
        ++enumeration.position;
        ++written;
    }
    if (written == 0) {
        *bufferBytes = static_cast<DWORD>(BatchWriter::BytesFor(entries[enumeration.position]));
        return ERROR_MORE_DATA;
    }
    *count = written;
    return NO_ERROR;
}

Enumeration* FindOpen(HANDLE handle)
{
    ExclusiveLock lock;
    const auto found = g_openEnumerations.find(static_cast<Enumeration*>(handle));
    return found == g_openEnumerations.end() ? nullptr : *found;
}

} // namespace

extern "C" DWORD WINAPI SimWNetOpenEnumW(DWORD scope, DWORD type, DWORD usage, NETRESOURCEW* container, HANDLE* handle)
{
    const DWORD result = OpenEnumeration(scope, container, handle);
    kxsim::AppendCallLog(L"WNetOpenEnumW scope=" + std::to_wstring(scope) + L" type=" + std::to_wstring(type) +
                         L" usage=" + std::to_wstring(usage) + L" resource=" + kxsim::LogResource(container) + L" -> " +
                         std::to_wstring(result));
    ::SetLastError(result);
    return result;
}

extern "C" DWORD WINAPI SimWNetEnumResourceW(HANDLE handle, DWORD* count, void* buffer, DWORD* bufferBytes)
{
    const std::wstring asked = L"WNetEnumResourceW count=" + (count ? kxsim::LogHex(*count) : L"NULL") + L" size=" +
                               (bufferBytes ? std::to_wstring(*bufferBytes) : L"NULL");
    Enumeration* enumeration = FindOpen(handle);
    DWORD result = ERROR_INVALID_HANDLE;
    if (enumeration != nullptr) {
        result = (count == nullptr || buffer == nullptr || bufferBytes == nullptr)
                     ? ERROR_INVALID_PARAMETER
                     : NextBatch(*enumeration, count, buffer, bufferBytes);
    }
    std::wstring answered;
    if (result == NO_ERROR) {
        answered = L" count=" + std::to_wstring(*count);
    } else if (result == ERROR_MORE_DATA) {
        answered = L" size=" + std::to_wstring(*bufferBytes);
    }
    kxsim::AppendCallLog(asked + L" -> " + std::to_wstring(result) + answered);
    ::SetLastError(result);
    return result;
}

extern "C" DWORD WINAPI SimWNetCloseEnum(HANDLE handle)
{
    DWORD result = ERROR_INVALID_HANDLE;
    {
        ExclusiveLock lock;
        auto* enumeration = static_cast<Enumeration*>(handle);
        if (g_openEnumerations.erase(enumeration) != 0) {
            result = enumeration->host.closeError;
            delete enumeration;
        }
    }
    kxsim::AppendCallLog(L"WNetCloseEnum -> " + std::to_wstring(result));
    ::SetLastError(result);
    return result;
}

// Enumerations opened in this process and not yet closed.
extern "C" LONG WINAPI SimMprOpenEnumerations()
{
    ExclusiveLock lock;
    return static_cast<LONG>(g_openEnumerations.size());
}
