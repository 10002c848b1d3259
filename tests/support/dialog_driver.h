#pragma once

#include "common/unique_handle.h"

#include <windows.h>

#include <string>
#include <vector>

namespace kxtest {

constexpr wchar_t MountDialogTitle[] = L"KX Vantorel TZ7100";

struct DialogRow {
    std::wstring share;
    std::wstring status;
    bool ticked;
};

// The control with that id, found by stepping from one child to the next rather than by
// GetDlgItem: a dialog driven from another thread may be going on its own, and Wine 10's server
// loops for ever listing all children of a window while another thread destroys it.
HWND DialogControl(HWND dialog, int id);

// Drives a dialog's list view and buttons from outside, whichever process owns the dialog:
// texts and item records travel through memory allocated in the owner's process.
class DialogDriver {
public:
    explicit DialogDriver(HWND dialog);
    ~DialogDriver();
    DialogDriver(const DialogDriver&) = delete;
    DialogDriver& operator=(const DialogDriver&) = delete;

    std::vector<DialogRow> Rows() const;
    void Tick(int row) const;
    std::wstring ColumnHeader(int column) const;
    std::wstring ControlText(int id) const;
    bool ControlVisible(int id) const;
    void Press(int id) const;

private:
    HANDLE Owner() const;
    void CopyToOwner(BYTE* to, const void* from, size_t bytes) const;
    void CopyFromOwner(void* to, const BYTE* from, size_t bytes) const;
    LRESULT SendWithRemoteItem(UINT message, WPARAM wParam, void* item, size_t itemSize, bool readBack) const;
    std::wstring ItemText(int row, int subItem) const;
    // The text area in the owner's process, zeroed; and what it holds now.
    wchar_t* ClearedRemoteText() const;
    std::wstring ReadRemoteText() const;

    HWND dialog_;
    HWND list_;
    kx::unique_handle process_; // empty when the dialog is this process's
    BYTE* remote_;
};

// Waits while handling this thread's messages, so that windows of this thread (an owner, a
// window with the dialog's title) answer the command's thread meanwhile.
bool WaitPumping(HANDLE object, DWORD timeoutMs);
void PumpFor(DWORD milliseconds);

// The top-level dialog with the mount title, or null after timeoutMs.
HWND WaitForMountDialog(DWORD timeoutMs);
// Every top-level window titled exactly like the mount dialog.
std::vector<HWND> MountDialogs();
// A visible message box (#32770 with static 0xFFFF) other than the mount dialog.
HWND WaitForMessageBox(DWORD timeoutMs);

} // namespace kxtest
