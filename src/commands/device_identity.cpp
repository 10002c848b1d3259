#include "commands/device_identity.h"

#include "commands/upnp_api.h"
#include "common/com_ptr.h"
#include "common/hresult_error.h"
#include "common/trace.h"
#include "common/unique_handle.h"

#include <cstring>
#include <winhttp.h>

namespace kx {

namespace {

constexpr char UdnPrefix[] = "uuid:";
// Short command lines are converted on the stack; from this many characters on, on the heap.
constexpr int StackConversionLimit = 4096;
constexpr DWORD HostBufferLength = 256;

int ConvertedLengthOrThrow(const char* text, int bytes)
{
    const int characters = ::MultiByteToWideChar(CP_ACP, 0, text, bytes, nullptr, 0);
    if (characters == 0) {
        ThrowLastError();
    }
    return characters;
}

void ConvertOrThrow(const char* text, int bytes, wchar_t* buffer, int characters)
{
    if (::MultiByteToWideChar(CP_ACP, 0, text, bytes, buffer, characters) == 0) {
        ThrowLastError();
    }
}

CountedString WidenAnsiText(const char* text)
{
    const int bytes = ::lstrlenA(text) + 1; // the terminator is converted too
    const int characters = ConvertedLengthOrThrow(text, bytes);
    if (characters < StackConversionLimit) {
        wchar_t buffer[StackConversionLimit];
        ConvertOrThrow(text, bytes, buffer, characters);
        return CountedString::Make(buffer);
    }
    unique_heap_block block(::HeapAlloc(::GetProcessHeap(), 0, static_cast<SIZE_T>(characters) * sizeof(wchar_t)));
    if (!block) {
        ThrowOutOfMemory();
    }
    auto* buffer = static_cast<wchar_t*>(block.get());
    ConvertOrThrow(text, bytes, buffer, characters);
    return CountedString::Make(buffer);
}

// Keeps the thread in the multithreaded apartment for one lookup. A thread that already lives in
// another apartment (RPC_E_CHANGED_MODE) was not initialised here and is not uninitialised here.
class ComApartmentScope {
public:
    ComApartmentScope() noexcept : result_(::CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ~ComApartmentScope()
    {
        if (SUCCEEDED(result_)) {
            ::CoUninitialize();
        }
    }
    ComApartmentScope(const ComApartmentScope&) = delete;
    ComApartmentScope& operator=(const ComApartmentScope&) = delete;

private:
    HRESULT result_;
};

bool IsHostNameCharacter(wchar_t character) noexcept
{
    return (character >= L'a' && character <= L'z') || (character >= L'A' && character <= L'Z') ||
           (character >= L'0' && character <= L'9') || character == L'-' || character == L'_' || character == L'.';
}

// Whoever answers for a UDN chooses the description URL, and the URL parser lets any character
// through. The host is later put after "\\" and "http://", so it may only name a host: ASCII
// letters, digits, '-', '_' and '.', not empty, no label that starts with '.' or '-'. Bracketed
// IPv6 literals are refused as well: a UNC path cannot carry one.
bool IsPlausibleHostName(const wchar_t* host) noexcept
{
    if (host == nullptr || host[0] == L'\0') {
        return false;
    }
    wchar_t previous = L'.'; // the first label starts at the first character
    for (const wchar_t* character = host; *character != L'\0'; ++character) {
        const bool startsLabel = previous == L'.';
        if (!IsHostNameCharacter(*character) || (startsLabel && (*character == L'.' || *character == L'-'))) {
            return false;
        }
        previous = *character;
    }
    return true;
}

// Shown in the trace with everything but printable ASCII as '?', so that a refused host cannot
// write trace lines of its own.
void TraceRefusedHost(const wchar_t* host) noexcept
{
    wchar_t shown[HostBufferLength] = {};
    for (DWORD index = 0; index + 1 < HostBufferLength && host[index] != L'\0'; ++index) {
        shown[index] = host[index] >= L' ' && host[index] <= L'~' ? host[index] : L'?';
    }
    TraceLineToSink(L"ResolveDeviceHost -- not a host name, device ignored: \"%s\"\r\n", shown);
}

bool CrackHostName(BSTR url, CountedString& host)
{
    wchar_t hostBuffer[HostBufferLength] = {};
    URL_COMPONENTS components = {};
    components.dwStructSize = sizeof(components);
    components.lpszHostName = hostBuffer;
    components.dwHostNameLength = HostBufferLength;
    if (!::WinHttpCrackUrl(url, 0, 0, &components)) {
        return false;
    }
    if (!IsPlausibleHostName(hostBuffer)) {
        TraceRefusedHost(hostBuffer);
        return false;
    }
    host.Assign(hostBuffer);
    return true;
}

// Declaration order is release order in reverse: the URL goes first, then the document access,
// the device and last the finder.
bool LookUpDeviceHost(const CountedString& udn, CountedString& host)
{
    ComPtr<IUPnPDeviceFinder> finder;
    if (FAILED(::CoCreateInstance(CLSID_UPnPDeviceFinder, nullptr, CLSCTX_INPROC_SERVER, IID_IUPnPDeviceFinder,
                                  finder.put_void()))) {
        return false;
    }
    ComPtr<IUPnPDevice> device;
    if (FAILED(finder->FindByUDN(udn.Bstr(), device.put())) || !device) {
        return false;
    }
    ComPtr<IUPnPDeviceDocumentAccess> documentAccess;
    if (FAILED(device->QueryInterface(IID_IUPnPDeviceDocumentAccess, documentAccess.put_void())) || !documentAccess) {
        return false;
    }
    unique_bstr url;
    documentAccess->GetDocumentURL(url.put());
    return url && CrackHostName(url.get(), host);
}

} // namespace

bool ExtractDeviceUdn(const char* commandLine, CountedString& udn)
{
    const char* start = commandLine != nullptr ? std::strstr(commandLine, UdnPrefix) : nullptr;
    if (start == nullptr) {
        return false;
    }
    udn = WidenAnsiText(start);
    return true;
}

bool ResolveDeviceHost(const CountedString& udn, CountedString& host)
{
    ComApartmentScope apartment;
    return LookUpDeviceHost(udn, host);
}

} // namespace kx
