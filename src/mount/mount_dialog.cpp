#include "mount/mount_dialog.h"
#include "resources/resource_ids.h"

#include "common/hresult_error.h"
#include "localization/localized_text.h"
#include "localization/server_language.h"
#include "utilities/utilities.h"

#include <commctrl.h>

namespace kx {

CountedString MountHostName;
LONG DialogLoopExit = 0;
LONG MountPassDone = 0;
LONG CloseOnError = 0;

namespace {

// The dialog procedure is re-entered while it works: the list view notifies it while a status
// is written, and DestroyWindow sends WM_DESTROY and WM_NCDESTROY. These two guards keep a
// failed mapping from closing the dialog before the pass has tried every ticked row, and keep
// the dialog from being destroyed twice.
bool g_passRunning = false;
bool g_destroying = false;

INT_PTR CloseDialog(HWND dialog)
{
    DialogLoopExit = 1;
    if (g_destroying) {
        return TRUE;
    }
    g_destroying = true;
    const BOOL destroyed = ::DestroyWindow(dialog);
    // Wake the command's message loop now rather than at the thread's next message.
    ::PostThreadMessageW(::GetCurrentThreadId(), WM_NULL, 0, 0);
    return destroyed;
}

bool RowIsTicked(HWND list, int row)
{
    const LRESULT state = ::SendMessageW(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_STATEIMAGEMASK);
    return (static_cast<UINT>(state) >> 12) != 1;
}

void SetRowStatus(HWND list, int row, const CountedString& status)
{
    LVITEMW item = {};
    item.iSubItem = 1;
    item.pszText = const_cast<wchar_t*>(status.Text());
    ::SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

void MountRow(HWND list, int row)
{
    if (!RowIsTicked(list, row)) {
        return;
    }
    wchar_t shareName[ShareNameLength] = {};
    LVITEMW item = {};
    item.iSubItem = 0;
    item.pszText = shareName;
    item.cchTextMax = ShareNameLength;
    ::SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    shareName[ShareNameLength - 1] = L'\0';
    if (shareName[0] == L'\0') {
        return;
    }
    const CountedString share = CountedString::Make(shareName);
    const HRESULT result =
        CUtilities::MountDevice(MountHostName.Bstr(), nullptr, nullptr, VARIANT_FALSE, nullptr, share.Bstr());
    if (result != S_OK) {
        SetRowStatus(list, row, MountFailedStatus());
        CloseOnError = 1;
    } else {
        SetRowStatus(list, row, MountSuccessfulStatus());
    }
}

void RunMountPass(HWND dialog, HWND list)
{
    HWND mountButton = ::GetDlgItem(dialog, IDOK);
    if (mountButton != nullptr) {
        ::EnableWindow(mountButton, FALSE);
    }
    g_passRunning = true;
    for (UINT row = 0; row < StandardShareCount; ++row) {
        MountRow(list, static_cast<int>(row));
    }
    g_passRunning = false;
    if (mountButton != nullptr) {
        ::SetWindowTextW(mountButton, CloseButtonCaption().Text());
        ::EnableWindow(mountButton, TRUE);
    }
    HWND cancelButton = ::GetDlgItem(dialog, IDCANCEL);
    if (cancelButton != nullptr) {
        ::ShowWindow(cancelButton, SW_HIDE);
    }
    MountPassDone = 1;
}

// A pass that cannot go on (a text that could not be built) ends like one whose mapping
// failed: the dialog closes instead of staying with its Mount button disabled.
void RunMountPassOrGiveUp(HWND dialog, HWND list)
{
    try {
        RunMountPass(dialog, list);
    } catch (...) {
        g_passRunning = false;
        CloseOnError = 1;
    }
}

// Returns true when the press was fully handled (the dialog is gone).
bool OnMountButton(HWND dialog, INT_PTR& result)
{
    if (MountPassDone != 0) {
        result = CloseDialog(dialog);
        return true;
    }
    HWND list = ::GetDlgItem(dialog, IDC_SHARE_LIST);
    if (list == nullptr) {
        CloseOnError = 1;
        result = CloseDialog(dialog);
        return true;
    }
    RunMountPassOrGiveUp(dialog, list);
    return false;
}

INT_PTR CommonEnd(HWND dialog)
{
    if (CloseOnError != 0 && !g_passRunning) {
        return CloseDialog(dialog);
    }
    return 0;
}

INT_PTR HandleMountDialogMessage(HWND dialog, UINT message, WPARAM wParam)
{
    if (message == WM_CLOSE || (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL)) {
        return CloseDialog(dialog);
    }
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK && !g_passRunning) {
        INT_PTR result = 0;
        if (OnMountButton(dialog, result)) {
            return result;
        }
    }
    return CommonEnd(dialog);
}

} // namespace

void ResetMountDialogState() noexcept
{
    DialogLoopExit = 0;
    MountPassDone = 0;
    CloseOnError = 0;
    g_passRunning = false;
    g_destroying = false;
}

INT_PTR CALLBACK MountDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM /*lParam*/)
{
    INT_PTR result = 0;
    // A text that cannot be built (out of memory) must not unwind through the window manager.
    RunExportGuarded([&] { result = HandleMountDialogMessage(dialog, message, wParam); });
    return result;
}

BOOL CALLBACK FindOpenMountDialog(HWND window, LPARAM searchRecord)
{
    auto* search = reinterpret_cast<MountDialogSearch*>(searchRecord);
    if (window == nullptr || search == nullptr || window == search->ownDialog) {
        return TRUE;
    }
    wchar_t title[ShareNameLength] = {};
    if (::GetWindowTextW(window, title, ShareNameLength) <= 0) {
        return TRUE;
    }
    // The terminator is compared too: a longer title that begins with ours is another window.
    for (size_t index = 0; index < sizeof(MountDialogTitle) / sizeof(wchar_t); ++index) {
        if (title[index] != MountDialogTitle[index]) {
            return TRUE;
        }
    }
    search->foundWindow = window;
    search->found = 1;
    return FALSE;
}

} // namespace kx
