#include "mount/mount_dialog.h"
#include "resources/resource_ids.h"

#include "common/hresult_error.h"
#include "common/module_instance.h"
#include "common/trace.h"
#include "common/unique_handle.h"
#include "localization/localized_text.h"
#include "localization/server_language.h"
#include "utilities/utilities.h"

#include <commctrl.h>

namespace kx {

namespace {

// The dialog's title, and how a second Mount command recognises an open dialog.
constexpr wchar_t MountDialogTitle[] = L"KX Vantorel TZ7100";
constexpr DWORD ListExtendedStyles = LVS_EX_CHECKBOXES | LVS_EX_HEADERDRAGDROP | LVS_EX_FULLROWSELECT;

// What the open dialog works with: one Mount dialog at a time in a process. Cleared for each
// new dialog; the host is let go when the dialog's command ends.
struct DialogState {
    CountedString host; // of the device whose shares are mapped
    bool loopExit = false; // the dialog is closing: the message loop ends
    bool passDone = false; // the mapping pass has run: the Mount button reads Close
    bool closeOnError = false; // a mapping failed: the dialog closes once the pass is over
    // The dialog procedure is re-entered while it works: the list view notifies it while a
    // status is written, and DestroyWindow sends WM_DESTROY and WM_NCDESTROY. These two guards
    // keep a failed mapping from closing the dialog before the pass has tried every ticked row,
    // and keep the dialog from being destroyed twice.
    bool passRunning = false;
    bool destroying = false;
};
DialogState g_dialog;

INT_PTR CloseDialog(HWND dialog)
{
    g_dialog.loopExit = true;
    if (g_dialog.destroying) {
        return TRUE;
    }
    g_dialog.destroying = true;
    const BOOL destroyed = ::DestroyWindow(dialog);
    // Wake the command's message loop now rather than at the thread's next message.
    ::PostThreadMessageW(::GetCurrentThreadId(), WM_NULL, 0, 0);
    return destroyed;
}

void SetRowStatus(HWND list, int row, const CountedString& status)
{
    ListView_SetItemText(list, row, 1, const_cast<wchar_t*>(status.Text()));
}

void MountRow(HWND list, int row)
{
    if (ListView_GetCheckState(list, row) == 0) {
        return;
    }
    wchar_t shareName[ShareNameLength] = {};
    ListView_GetItemText(list, row, 0, shareName, ShareNameLength);
    shareName[ShareNameLength - 1] = L'\0';
    if (shareName[0] == L'\0') {
        return;
    }
    const CountedString share = CountedString::Make(shareName);
    const HRESULT result =
        CUtilities::MountDevice(g_dialog.host.Bstr(), nullptr, nullptr, VARIANT_FALSE, nullptr, share.Bstr());
    if (result != S_OK) {
        SetRowStatus(list, row, MountFailedStatus());
        g_dialog.closeOnError = true;
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
    g_dialog.passRunning = true;
    for (UINT row = 0; row < StandardShareCount; ++row) {
        MountRow(list, static_cast<int>(row));
    }
    g_dialog.passRunning = false;
    if (mountButton != nullptr) {
        ::SetWindowTextW(mountButton, CloseButtonCaption().Text());
        ::EnableWindow(mountButton, TRUE);
    }
    HWND cancelButton = ::GetDlgItem(dialog, IDCANCEL);
    if (cancelButton != nullptr) {
        ::ShowWindow(cancelButton, SW_HIDE);
    }
    g_dialog.passDone = true;
}

// A pass that cannot go on (a text that could not be built) ends like one whose mapping
// failed: the dialog closes instead of staying with its Mount button disabled.
void RunMountPassOrGiveUp(HWND dialog, HWND list)
{
    try {
        RunMountPass(dialog, list);
    } catch (...) {
        g_dialog.passRunning = false;
        g_dialog.closeOnError = true;
    }
}

// Returns true when the press was fully handled (the dialog is gone).
bool OnMountButton(HWND dialog, INT_PTR& result)
{
    if (g_dialog.passDone) {
        result = CloseDialog(dialog);
        return true;
    }
    HWND list = ::GetDlgItem(dialog, IDC_SHARE_LIST);
    if (list == nullptr) {
        g_dialog.closeOnError = true;
        result = CloseDialog(dialog);
        return true;
    }
    RunMountPassOrGiveUp(dialog, list);
    return false;
}

INT_PTR CommonEnd(HWND dialog)
{
    if (g_dialog.closeOnError && !g_dialog.passRunning) {
        return CloseDialog(dialog);
    }
    return 0;
}

INT_PTR HandleMountDialogMessage(HWND dialog, UINT message, WPARAM wParam)
{
    if (message == WM_CLOSE || (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL)) {
        return CloseDialog(dialog);
    }
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK && !g_dialog.passRunning) {
        INT_PTR result = 0;
        if (OnMountButton(dialog, result)) {
            return result;
        }
    }
    return CommonEnd(dialog);
}

INT_PTR CALLBACK MountDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM /*lParam*/)
{
    INT_PTR result = 0;
    // A text that cannot be built (out of memory) must not unwind through the window manager.
    RunExportGuarded([&] { result = HandleMountDialogMessage(dialog, message, wParam); });
    return result;
}

void InsertColumn(HWND list, int position, int width, const CountedString& header)
{
    LVCOLUMNW column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = LVCFMT_LEFT;
    column.cx = width;
    column.pszText = const_cast<wchar_t*>(header.Text());
    column.iSubItem = position;
    ListView_InsertColumn(list, position, &column);
}

void InsertShareRow(HWND list, int row, const wchar_t* shareName)
{
    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    ListView_InsertItem(list, &item);
    ListView_SetItemText(list, row, 0, const_cast<wchar_t*>(shareName));
    ListView_SetCheckState(list, row, FALSE);
}

void FillShareList(HWND list, const ShareNameSlot* shares, UINT count)
{
    ListView_SetExtendedListViewStyle(list, ListExtendedStyles);
    InsertColumn(list, 0, 175, SharesColumnHeader());
    InsertColumn(list, 1, 120, StatusColumnHeader());
    for (UINT row = 0; row < StandardShareCount; ++row) {
        const UINT position = StandardSharePositions[row];
        if (position < count) {
            InsertShareRow(list, static_cast<int>(row), shares[position]);
        }
    }
}

// What the single-instance check looks for: any top-level window but our own dialog whose
// title is exactly MountDialogTitle.
struct OpenDialogSearch {
    HWND ownDialog;
    HWND found;
};

BOOL CALLBACK FindOpenMountDialog(HWND window, LPARAM searchRecord)
{
    auto* search = reinterpret_cast<OpenDialogSearch*>(searchRecord);
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
    search->found = window;
    return FALSE;
}

// One Mount dialog at a time: when another one is open, it comes to the front and ours is
// destroyed. Its template made ours visible as it was created, so it shows for this moment,
// without rows, and its loop never runs. Answers whether ours is gone.
bool DestroyOursIfAnotherDialogIsOpen(unique_hwnd& ours)
{
    OpenDialogSearch search = {ours.get(), nullptr};
    ::EnumWindows(FindOpenMountDialog, reinterpret_cast<LPARAM>(&search));
    if (search.found == nullptr) {
        return false;
    }
    ::BringWindowToTop(search.found);
    ours.reset();
    return true;
}

void RunDialogLoop(HWND dialog)
{
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (g_dialog.loopExit) {
            break;
        }
        if (!::IsDialogMessageW(dialog, &message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
}

void CreateAndRunDialog(const ShareNameSlot* shares, UINT count)
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
    if (DestroyOursIfAnotherDialogIsOpen(dialog)) {
        return;
    }
    HWND list = ::GetDlgItem(dialog.get(), IDC_SHARE_LIST);
    if (list == nullptr) {
        return;
    }
    FillShareList(list, shares, count);
    ::ShowWindow(dialog.get(), SW_SHOWNORMAL);
    RunDialogLoop(dialog.release());
}

// The state of one dialog for as long as its command runs: the host it maps from is not kept
// past the command, however the command ends.
class DialogSession {
public:
    explicit DialogSession(const CountedString& host) noexcept
    {
        g_dialog = DialogState();
        g_dialog.host = host;
    }
    ~DialogSession() { g_dialog.host = CountedString(); }
    DialogSession(const DialogSession&) = delete;
    DialogSession& operator=(const DialogSession&) = delete;
};

} // namespace

void RunMountDialog(const CountedString& host, const ShareNameSlot* shares, UINT count)
{
    const DialogSession session(host);
    CreateAndRunDialog(shares, count);
}

} // namespace kx
