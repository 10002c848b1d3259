#include "mount/mount_dialog.h"
#include "resources/resource_ids.h"

#include "commands/verb_prologue.h"
#include "common/hresult_error.h"
#include "common/module_instance.h"
#include "common/trace.h"
#include "common/unique_handle.h"
#include "localization/localized_text.h"
#include "localization/server_language.h"
#include "utilities/utilities.h"

#include <commctrl.h>

#include <memory>

namespace kx {

namespace {

constexpr UINT ShareListCapacity = 256;
constexpr DWORD ListExtendedStyles = LVS_EX_CHECKBOXES | LVS_EX_HEADERDRAGDROP | LVS_EX_FULLROWSELECT;

struct ShareList {
    UINT count = 0;
    ShareNameSlot slots[ShareListCapacity] = {};
};

void InsertColumn(HWND list, int position, int width, const CountedString& header)
{
    LVCOLUMNW column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = LVCFMT_LEFT;
    column.cx = width;
    column.pszText = const_cast<wchar_t*>(header.Text());
    column.iSubItem = position;
    ::SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(position), reinterpret_cast<LPARAM>(&column));
}

void InsertShareRow(HWND list, int row, const wchar_t* shareName)
{
    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.iSubItem = 0;
    item.pszText = nullptr;
    ::SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    item.pszText = const_cast<wchar_t*>(shareName);
    ::SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    LVITEMW state = {};
    state.stateMask = LVIS_STATEIMAGEMASK;
    state.state = INDEXTOSTATEIMAGEMASK(1);
    ::SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
}

void FillShareList(HWND list, const ShareList& shares)
{
    ::SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, ListExtendedStyles);
    InsertColumn(list, 0, 175, SharesColumnHeader());
    InsertColumn(list, 1, 120, StatusColumnHeader());
    for (UINT row = 0; row < StandardShareCount; ++row) {
        const UINT position = StandardSharePositions[row];
        if (position < shares.count) {
            InsertShareRow(list, static_cast<int>(row), shares.slots[position]);
        }
    }
}

bool AnotherDialogIsOpen(HWND dialog)
{
    MountDialogSearch search = {dialog, nullptr, 0};
    ::EnumWindows(FindOpenMountDialog, reinterpret_cast<LPARAM>(&search));
    if (search.found != 1) {
        return false;
    }
    ::BringWindowToTop(search.foundWindow);
    ::DestroyWindow(dialog);
    return true;
}

void RunDialogLoop(HWND dialog)
{
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (DialogLoopExit != 0) {
            break;
        }
        if (!::IsDialogMessageW(dialog, &message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
}

void ShowMountDialog(const ShareList& shares)
{
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES};
    ::InitCommonControlsEx(&controls);
    // Until its loop runs, the dialog is destroyed on every way out, a text that could not be
    // built included: a hidden dialog must not outlive the command.
    unique_hwnd dialog(
        ::CreateDialogParamW(ModuleInstance, MAKEINTRESOURCEW(IDD_MOUNT_SHARES), nullptr, MountDialogProc, 0));
    if (!dialog) {
        TraceLine(L"GetLastError: %d\r\n", static_cast<int>(::GetLastError()));
        return;
    }
    ::SetWindowTextW(dialog.get(), MountDialogTitle);
    ::SetDlgItemTextW(dialog.get(), IDC_SELECT_LABEL, SelectSharesLabel().Text());
    if (AnotherDialogIsOpen(dialog.get())) {
        dialog.release();
        return;
    }
    HWND list = ::GetDlgItem(dialog.get(), IDC_SHARE_LIST);
    if (list == nullptr) {
        return;
    }
    FillShareList(list, shares);
    ::ShowWindow(dialog.get(), SW_SHOWNORMAL);
    RunDialogLoop(dialog.release());
}

void RunMountCommand(HWND hwnd, HINSTANCE hinst, LPSTR commandLine)
{
    ResetMountDialogState();
    CountedString host;
    if (!ResolveVerbDevice(L"ShellCommandMount: uuid found: %s\r\n", hwnd, hinst, commandLine, host)) {
        return;
    }
    MountHostName = host;
    const CountedString deviceName = DeviceFolder(host);
    auto shares = std::make_unique<ShareList>();
    if (CUtilities::GetDeviceShares(deviceName.Text(), &shares->count, ShareListCapacity, shares->slots) == 0) {
        return;
    }
    StandardShareCount = 0;
    const LanguageIndex serverLanguage =
        GetServerLangIndex(shares->slots, static_cast<int>(shares->count), StandardShareCount);
    if (StandardShareCount == 0) {
        ::MessageBoxW(hwnd, NoStandardSharesWarning().Text(), nullptr, MB_ICONWARNING);
        return;
    }
    TraceLine(L"serverLangIndex: %d\r\n", serverLanguage);
    ShowMountDialog(*shares);
}

} // namespace

} // namespace kx

void CALLBACK ShellCommandMount(HWND hwnd, HINSTANCE hinst, LPSTR commandLine, int /*showCommand*/)
{
    kx::RunExportGuarded([&] { kx::RunMountCommand(hwnd, hinst, commandLine); });
    // The dialog is gone by now; the host it mapped from is not kept past the command.
    kx::MountHostName = kx::CountedString();
}
