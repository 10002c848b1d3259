#include "utilities/utilities.h"

#include "common/trace.h"

#include <winnetwk.h>
#include <strsafe.h>

namespace kx {

namespace {

constexpr DWORD NameBufferLength = 260;
constexpr DWORD CommentBufferLength = 64;

struct ConnectionBuffers {
    wchar_t remoteName[NameBufferLength] = {};
    wchar_t accessName[NameBufferLength] = {};
    wchar_t localName[NameBufferLength] = {};
    wchar_t comment[CommentBufferLength] = {};
};

void TraceParameter(const wchar_t* givenFormat, const wchar_t* absentLine, BSTR value) noexcept
{
    if (value != nullptr) {
        TraceLineToSink(givenFormat, value);
    } else {
        TraceLineToSink(absentLine);
    }
}

void TraceParameters(BSTR bstrNas, BSTR bstrShare, BSTR bstrDriveLetter, VARIANT_BOOL vbUpdateProfile,
                     const BSTR* pbstrAccessName, BSTR bstrMountShare) noexcept
{
    TraceParameter(L"CUtilities::MountDevice -- bstrNas: %s\r\n", L"CUtilities::MountDevice -- bstrNas is NULL\r\n",
                   bstrNas);
    TraceParameter(L"CUtilities::MountDevice -- bstrShare: %s\r\n", L"CUtilities::MountDevice -- bstrShare is NULL\r\n",
                   bstrShare);
    TraceParameter(L"CUtilities::MountDevice -- bstrDriveLetter: %s\r\n",
                   L"CUtilities::MountDevice -- bstrDriveLetter is NULL\r\n", bstrDriveLetter);
    TraceLineToSink(vbUpdateProfile == VARIANT_TRUE ? L"CUtilities::MountDevice -- vbUpdateProfile is TRUE\r\n"
                                                    : L"CUtilities::MountDevice -- vbUpdateProfile is FALSE\r\n");
    TraceLineToSink(pbstrAccessName != nullptr ? L"CUtilities::MountDevice -- pbstrAccessName is not NULL\r\n"
                                               : L"CUtilities::MountDevice -- pbstrAccessName is NULL\r\n");
    TraceParameter(L"CUtilities::MountDevice -- Vantorel mount share: %s\r\n",
                   L"CUtilities::MountDevice -- Vantorel mount share is NULL\r\n", bstrMountShare);
}

// Host and share must each stay one component of \\host\share. A NUL inside the counted length
// would hand the provider a shorter, different name; a '\\' or '/' would move the mapping to
// another share or another host.
bool IsOneComponent(BSTR text) noexcept
{
    const UINT length = ::SysStringLen(text);
    for (UINT index = 0; index < length; ++index) {
        if (text[index] == L'\0' || text[index] == L'\\' || text[index] == L'/') {
            return false;
        }
    }
    return true;
}

// \\host\share, or \\host\Public without a share. A name that does not fit whole is refused
// rather than cut into the name of some other share.
HRESULT ComposeRemoteName(BSTR bstrNas, BSTR bstrMountShare, wchar_t (&remoteName)[NameBufferLength]) noexcept
{
    if (!IsOneComponent(bstrNas) || (bstrMountShare != nullptr && !IsOneComponent(bstrMountShare))) {
        return HRESULT_FROM_WIN32(ERROR_INVALID_NAME);
    }
    const HRESULT composed =
        bstrMountShare != nullptr
            ? ::StringCchPrintfW(remoteName, NameBufferLength, L"\\\\%s\\%s", bstrNas, bstrMountShare)
            : ::StringCchPrintfW(remoteName, NameBufferLength, L"\\\\%s\\Public", bstrNas);
    if (FAILED(composed)) {
        remoteName[0] = L'\0';
        return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    }
    return S_OK;
}

HRESULT Connect(NETRESOURCEW& request, ConnectionBuffers& buffers) noexcept
{
    DWORD accessNameLength = NameBufferLength;
    DWORD connectionResult = 0;
    const DWORD result = ::WNetUseConnectionW(nullptr, &request, nullptr, nullptr, CONNECT_REDIRECT, buffers.accessName,
                                              &accessNameLength, &connectionResult);
    // The provider fills the access name; whatever it did, the text ends inside the buffer.
    buffers.accessName[NameBufferLength - 1] = L'\0';
    if (result == NO_ERROR) {
        return S_OK;
    }
    TraceLineToSink(L"CUtilities::MountDevice -- WNetUseConnection Failed! Error Num: %d\r\n",
                    static_cast<int>(result));
    return HRESULT_FROM_WIN32(result);
}

} // namespace

HRESULT CUtilities::MountDevice(BSTR bstrNas, BSTR bstrShare, BSTR bstrDriveLetter, VARIANT_BOOL vbUpdateProfile,
                                BSTR* pbstrAccessName, BSTR bstrMountShare)
{
    TraceLineToSink(L"Entering CUtilities::MountDevice...\r\n");
    TraceParameters(bstrNas, bstrShare, bstrDriveLetter, vbUpdateProfile, pbstrAccessName, bstrMountShare);
    if (bstrNas == nullptr || ::SysStringLen(bstrNas) == 0) {
        TraceLineToSink(L"CUtilities::MountDevice -- bstrNas must NOT be NULL or empty...returning error.\r\n");
        return E_INVALIDARG;
    }

    ConnectionBuffers buffers;
    NETRESOURCEW request = {};
    request.dwScope = 0;
    request.dwType = RESOURCETYPE_DISK;
    request.dwDisplayType = 0;
    request.dwUsage = 0;
    request.lpLocalName = buffers.localName;
    request.lpRemoteName = buffers.remoteName;
    request.lpComment = buffers.comment;
    request.lpProvider = nullptr;
    TraceLineToSink(L"CUtilities::MountDevice -- Stage 1 Complete...\r\n");

    const bool plainMode = bstrShare == nullptr && bstrDriveLetter == nullptr && pbstrAccessName == nullptr &&
                           vbUpdateProfile == VARIANT_FALSE;
    if (plainMode) {
        const HRESULT composed = ComposeRemoteName(bstrNas, bstrMountShare, buffers.remoteName);
        if (FAILED(composed)) {
            TraceLineToSink(L"CUtilities::MountDevice -- remote name refused...returning error.\r\n");
            TraceLineToSink(L"CUtilities::Exiting MountDevice...\r\n");
            return composed;
        }
    }
    TraceLineToSink(L"CUtilities::MountDevice -- nr.lpLocalName: %s\r\n", buffers.localName);
    TraceLineToSink(L"CUtilities::MountDevice -- nr.lpRemoteName: %s\r\n", buffers.remoteName);
    TraceLineToSink(L"CUtilities::MountDevice -- Stage 2 Complete...\r\n");

    const HRESULT result = Connect(request, buffers);
    TraceLineToSink(L"CUtilities::MountDevice -- Stage 3 Complete...\r\n");
    if (pbstrAccessName != nullptr) {
        // Handed to the caller, who owns it from here on.
        *pbstrAccessName = ::SysAllocString(buffers.accessName);
    }
    TraceLineToSink(L"CUtilities::Exiting MountDevice...\r\n");
    return result;
}

} // namespace kx
