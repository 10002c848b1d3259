#include "dialog_driver.h"

#include <commctrl.h>

#include <cstring>

namespace kxtest {

namespace {

constexpr size_t RemoteSize = 4096;
constexpr size_t RemoteTextOffset = 1024;
constexpr int RemoteTextCapacity = 1024;

BOOL CALLBACK CollectMountDialogs(HWND window, LPARAM found)
{
    wchar_t title[64] = {};
    if (::GetWindowTextW(window, title, 64) > 0 && std::wstring(title) == MountDialogTitle) {
        reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
    }
    return TRUE;
}

BOOL CALLBACK FindMessageBox(HWND window, LPARAM found)
{
    wchar_t className[16] = {};
    ::GetClassNameW(window, className, 16);
    if (std::wstring(className) == L"#32770" && ::IsWindowVisible(window) && DialogControl(window, 0xFFFF) != nullptr) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

HWND DialogControl(HWND dialog, int id)
{
    constexpr int MostControls = 256;
    HWND control = ::GetWindow(dialog, GW_CHILD);
    for (int step = 0; control != nullptr && step < MostControls; ++step) {
        if ((::GetDlgCtrlID(control) & 0xFFFF) == (id & 0xFFFF)) { // templates keep 16-bit ids
            return control;
        }
        control = ::GetWindow(control, GW_HWNDNEXT);
    }
    return nullptr;
}

// A dialog of this process is driven through memory of its own: Wine reads and writes even its
// own process's memory through its server, which under emulation cannot reach any process.
DialogDriver::DialogDriver(HWND dialog) : dialog_(dialog), list_(DialogControl(dialog, 1002))
{
    DWORD processId = 0;
    ::GetWindowThreadProcessId(dialog, &processId);
    if (processId != ::GetCurrentProcessId()) {
        process_.reset(::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId));
    }
    remote_ = static_cast<BYTE*>(::VirtualAllocEx(Owner(), nullptr, RemoteSize, MEM_COMMIT, PAGE_READWRITE));
}

DialogDriver::~DialogDriver()
{
    ::VirtualFreeEx(Owner(), remote_, 0, MEM_RELEASE);
}

HANDLE DialogDriver::Owner() const
{
    return process_ ? process_.get() : ::GetCurrentProcess();
}

void DialogDriver::CopyToOwner(BYTE* to, const void* from, size_t bytes) const
{
    if (!process_) {
        std::memcpy(to, from, bytes);
    } else {
        ::WriteProcessMemory(process_.get(), to, from, bytes, nullptr);
    }
}

void DialogDriver::CopyFromOwner(void* to, const BYTE* from, size_t bytes) const
{
    if (!process_) {
        std::memcpy(to, from, bytes);
    } else {
        ::ReadProcessMemory(process_.get(), from, to, bytes, nullptr);
    }
}

LRESULT DialogDriver::SendWithRemoteItem(UINT message, WPARAM wParam, void* item, size_t itemSize, bool readBack) const
{
    CopyToOwner(remote_, item, itemSize);
    const LRESULT result = ::SendMessageW(list_, message, wParam, reinterpret_cast<LPARAM>(remote_));
    if (readBack) {
        CopyFromOwner(item, remote_, itemSize);
    }
    return result;
}

wchar_t* DialogDriver::ClearedRemoteText() const
{
    const wchar_t empty[RemoteTextCapacity] = {};
    CopyToOwner(remote_ + RemoteTextOffset, empty, sizeof(empty));
    return reinterpret_cast<wchar_t*>(remote_ + RemoteTextOffset);
}

std::wstring DialogDriver::ReadRemoteText() const
{
    wchar_t text[RemoteTextCapacity] = {};
    CopyFromOwner(text, remote_ + RemoteTextOffset, sizeof(text));
    text[RemoteTextCapacity - 1] = L'\0';
    return text;
}

std::wstring DialogDriver::ItemText(int row, int subItem) const
{
    LVITEMW item = {};
    item.iSubItem = subItem;
    item.pszText = ClearedRemoteText();
    item.cchTextMax = RemoteTextCapacity;
    SendWithRemoteItem(LVM_GETITEMTEXTW, static_cast<WPARAM>(row), &item, sizeof(item), false);
    return ReadRemoteText();
}

std::vector<DialogRow> DialogDriver::Rows() const
{
    std::vector<DialogRow> rows;
    const int count = static_cast<int>(::SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        const UINT state =
            static_cast<UINT>(::SendMessageW(list_, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_STATEIMAGEMASK));
        rows.push_back({ItemText(row, 0), ItemText(row, 1), (state >> 12) == 2});
    }
    return rows;
}

void DialogDriver::Tick(int row) const
{
    LVITEMW item = {};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(2);
    SendWithRemoteItem(LVM_SETITEMSTATE, static_cast<WPARAM>(row), &item, sizeof(item), false);
}

std::wstring DialogDriver::ColumnHeader(int column) const
{
    LVCOLUMNW header = {};
    header.mask = LVCF_TEXT;
    header.pszText = ClearedRemoteText();
    header.cchTextMax = RemoteTextCapacity;
    SendWithRemoteItem(LVM_GETCOLUMNW, static_cast<WPARAM>(column), &header, sizeof(header), false);
    return ReadRemoteText();
}

std::wstring DialogDriver::ControlText(int id) const
{
    wchar_t text[512] = {};
    ::SendMessageW(DialogControl(dialog_, id), WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
    return text;
}

bool DialogDriver::ControlVisible(int id) const
{
    return ::IsWindowVisible(DialogControl(dialog_, id)) != FALSE;
}

void DialogDriver::Press(int id) const
{
    ::SendMessageW(DialogControl(dialog_, id), BM_CLICK, 0, 0);
}

bool WaitPumping(HANDLE object, DWORD timeoutMs)
{
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        const ULONGLONG now = ::GetTickCount64();
        const DWORD left = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
        const DWORD woken = ::MsgWaitForMultipleObjects(object != nullptr ? 1 : 0, &object, FALSE, left, QS_ALLINPUT);
        if (object != nullptr && woken == WAIT_OBJECT_0) {
            return true;
        }
        if (woken == WAIT_FAILED) {
            return false;
        }
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
        if (woken == WAIT_TIMEOUT || ::GetTickCount64() >= deadline) {
            return false;
        }
    }
}

void PumpFor(DWORD milliseconds)
{
    WaitPumping(nullptr, milliseconds);
}

std::vector<HWND> MountDialogs()
{
    std::vector<HWND> found;
    ::EnumWindows(CollectMountDialogs, reinterpret_cast<LPARAM>(&found));
    return found;
}

HWND WaitForMountDialog(DWORD timeoutMs)
{
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    do {
        for (HWND window : MountDialogs()) {
            if (::IsWindowVisible(window)) {
                return window;
            }
        }
        PumpFor(20);
    } while (::GetTickCount64() < deadline);
    return nullptr;
}

HWND WaitForMessageBox(DWORD timeoutMs)
{
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    do {
        HWND found = nullptr;
        ::EnumWindows(FindMessageBox, reinterpret_cast<LPARAM>(&found));
        if (found != nullptr) {
            return found;
        }
        PumpFor(20);
    } while (::GetTickCount64() < deadline);
    return nullptr;
}

} // namespace kxtest
