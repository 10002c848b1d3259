// WNetUseConnectionW for the simulated hosts, with the Windows contract for drive redirection:
// CONNECT_REDIRECT without a local name picks the first free letter from Z: down to C: and
// reports it in the access name; a named local device is used as given.

#include "call_log.h"
#include "network_model.h"
#include "simulated_network_config.h"

#include <cwctype>
#include <string>

namespace {

struct ConnectionRequest {
    const NETRESOURCEW* resource;
    DWORD flags;
    wchar_t* accessName;
    DWORD* accessNameLength;
};

bool IsShareOf(const kxsim::SimulatedHost& host, const std::wstring& remoteName)
{
    for (const auto& entry : host.entries) {
        if (entry.displayType == RESOURCEDISPLAYTYPE_SHARE && !entry.remoteNameIsNull &&
            ::CompareStringOrdinal(entry.remoteName.c_str(), -1, remoteName.c_str(), -1, TRUE) == CSTR_EQUAL) {
            return true;
        }
    }
    return false;
}

// Whether \\host\share can be connected: the host answers, the share exists, nothing refuses it.
DWORD CheckShare(const wchar_t* remoteName)
{
    std::wstring host;
    std::wstring share;
    if (!kxsim::SplitShareName(remoteName, &host, &share)) {
        return ERROR_BAD_NET_NAME;
    }
    kxsim::SimulatedHost configuration;
    if (!kxsim::ReadSimulatedHost(host, &configuration)) {
        return ERROR_BAD_NETPATH;
    }
    const DWORD refusal = kxsim::ReadRefusal(host, share);
    if (refusal != NO_ERROR) {
        return refusal;
    }
    return IsShareOf(configuration, remoteName) ? NO_ERROR : ERROR_BAD_NET_NAME;
}

// 'C'..'Z' for "X:", 0 for an empty or absent name, '?' for anything else.
wchar_t RequestedLetter(const wchar_t* localName)
{
    if (localName == nullptr || localName[0] == L'\0') {
        return 0;
    }
    const wchar_t letter = static_cast<wchar_t>(std::towupper(localName[0]));
    return (letter >= L'C' && letter <= L'Z' && localName[1] == L':' && localName[2] == L'\0') ? letter : L'?';
}

DWORD ClaimLetter(wchar_t requested, const std::wstring& remoteName, wchar_t* claimed)
{
    if (requested != 0) {
        *claimed = requested;
        return kxsim::ClaimDriveLetter(requested, remoteName) ? NO_ERROR : ERROR_ALREADY_ASSIGNED;
    }
    for (wchar_t letter = L'Z'; letter >= L'C'; --letter) {
        if (kxsim::ClaimDriveLetter(letter, remoteName)) {
            *claimed = letter;
            return NO_ERROR;
        }
    }
    return ERROR_NO_MORE_ITEMS;
}

DWORD WriteAccessName(const ConnectionRequest& request, const std::wstring& text)
{
    if (request.accessName == nullptr) {
        return NO_ERROR;
    }
    if (request.accessNameLength == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (*request.accessNameLength < text.size() + 1) {
        *request.accessNameLength = static_cast<DWORD>(text.size() + 1);
        return ERROR_MORE_DATA;
    }
    text.copy(request.accessName, text.size());
    request.accessName[text.size()] = L'\0';
    return NO_ERROR;
}

DWORD Connect(const ConnectionRequest& request, DWORD* connectionResult)
{
    if (request.resource == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    const wchar_t requested = RequestedLetter(request.resource->lpLocalName);
    const bool redirect = requested != 0 || (request.flags & CONNECT_REDIRECT) != 0;
    if (requested == L'?') {
        return ERROR_BAD_DEVICE;
    }
    const DWORD shareCheck = CheckShare(request.resource->lpRemoteName);
    if (shareCheck != NO_ERROR) {
        return shareCheck;
    }
    const std::wstring remoteName = request.resource->lpRemoteName;
    // The answer must fit before anything is connected; a drive name is always two characters.
    const DWORD fits = WriteAccessName(request, redirect ? std::wstring(L"Z:") : remoteName);
    if (fits != NO_ERROR || !redirect) {
        return fits;
    }
    wchar_t letter = 0;
    const DWORD claimed = ClaimLetter(requested, remoteName, &letter);
    if (claimed != NO_ERROR) {
        return claimed;
    }
    WriteAccessName(request, std::wstring(1, letter) + L":");
    if (connectionResult != nullptr) {
        *connectionResult = CONNECT_LOCALDRIVE;
    }
    return NO_ERROR;
}

} // namespace

extern "C" DWORD WINAPI SimWNetUseConnectionW(HWND owner, NETRESOURCEW* resource, const wchar_t* password,
                                              const wchar_t* user, DWORD flags, wchar_t* accessName,
                                              DWORD* accessNameLength, DWORD* connectionResult)
{
    const std::wstring asked = L"WNetUseConnectionW owner=" + std::wstring(owner == nullptr ? L"NULL" : L"window") +
                               L" resource=" + kxsim::LogResource(resource) + L" password=" + kxsim::LogText(password) +
                               L" user=" + kxsim::LogText(user) + L" flags=" + kxsim::LogHex(flags) + L" access=" +
                               (accessName == nullptr ? L"NULL" : L"buffer") + L" size=" +
                               (accessNameLength == nullptr ? L"NULL" : std::to_wstring(*accessNameLength));
    const DWORD result = Connect({resource, flags, accessName, accessNameLength}, connectionResult);
    std::wstring answered;
    if (result == NO_ERROR && accessName != nullptr) {
        answered = L" access=" + kxsim::LogText(accessName);
    }
    kxsim::AppendCallLog(asked + L" -> " + std::to_wstring(result) + answered);
    ::SetLastError(result);
    return result;
}
