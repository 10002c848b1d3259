#include "dialog_driver.h"

#include <commctrl.h>

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
    if (std::wstring(className) == L"#32770" && ::IsWindowVisible(window) && ::GetDlgItem(window, 0xFFFF) != nullptr) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

DialogDriver::DialogDriver(HWND dialog) : dialog_(dialog), list_(::GetDlgItem(dialog, 1002))
{
    DWORD processId = 0;
    ::GetWindowThreadProcessId(dialog, &processId);
    process_ = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
    remote_ = static_cast<BYTE*>(::VirtualAllocEx(process_, nullptr, RemoteSize, MEM_COMMIT, PAGE_READWRITE));
}

DialogDriver::~DialogDriver()
{
    ::VirtualFreeEx(process_, remote_, 0, MEM_RELEASE);
    ::CloseHandle(process_);
}

LRESULT DialogDriver::SendWithRemoteItem(UINT message, WPARAM wParam, void* item, size_t itemSize, bool readBack) const
{
    ::WriteProcessMemory(process_, remote_, item, itemSize, nullptr);
    const LRESULT result = ::SendMessageW(list_, message, wParam, reinterpret_cast<LPARAM>(remote_));
    if (readBack) {
        ::ReadProcessMemory(process_, remote_, item, itemSize, nullptr);
    }
    return result;
}

wchar_t* DialogDriver::ClearedRemoteText() const
{
    const wchar_t empty[RemoteTextCapacity] = {};
    ::WriteProcessMemory(process_, remote_ + RemoteTextOffset, empty, sizeof(empty), nullptr);
    return reinterpret_cast<wchar_t*>(remote_ + RemoteTextOffset);
}

std::wstring DialogDriver::ReadRemoteText() const
{
    wchar_t text[RemoteTextCapacity] = {};
    ::ReadProcessMemory(process_, remote_ + RemoteTextOffset, text, sizeof(text), nullptr);
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
    ::GetDlgItemTextW(dialog_, id, text, 512);
    return text;
}

bool DialogDriver::ControlVisible(int id) const
{
    return ::IsWindowVisible(::GetDlgItem(dialog_, id)) != FALSE;
}

void DialogDriver::Press(int id) const
{
    ::SendMessageW(::GetDlgItem(dialog_, id), BM_CLICK, 0, 0);
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
