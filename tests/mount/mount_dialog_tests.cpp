// The Mount verb end to end: the shipped library's ShellCommandMount runs on a thread of its
// own (as on rundll32's thread) or in rundll32 itself, and the test drives the real dialog.

#include "dialog_driver.h"
#include "import_patch.h"
#include "product_library.h"
#include "simulated_device.h"
#include "test_environment.h"

#include <gtest/gtest.h>

#include <winnetwk.h>

#include <algorithm>
#include <string>
#include <vector>

using kxtest::DialogDriver;
using kxtest::DialogRow;

namespace {

std::vector<std::string> ConnectCalls(const kxtest::SimulatedNetworkSession& network)
{
    std::vector<std::string> connects;
    for (const auto& call : network.Calls()) {
        if (call.rfind("WNetUseConnectionW", 0) == 0) {
            connects.push_back(call);
        }
    }
    return connects;
}

class MountDialogUi : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (kxtest::EnvironmentText(L"DISPLAY").empty()) {
            GTEST_SKIP() << "no display: the dialog cannot be shown";
        }
        ASSERT_NE(nullptr, library_.Module());
        ASSERT_TRUE(kxtest::StandInMprLoaded()) << "run with WINEDLLOVERRIDES=mpr=n";
        mount_ = library_.Verb("ShellCommandMount");
        ASSERT_NE(nullptr, mount_);
    }
    void TearDown() override
    {
        for (HWND dialog : kxtest::MountDialogs()) {
            ::PostMessageW(dialog, WM_CLOSE, 0, 0);
        }
        if (command_ != nullptr) {
            kxtest::WaitPumping(command_, 10000);
            ::CloseHandle(command_);
            command_ = nullptr;
        }
    }

    // Starts the Mount command for a device whose shares are entries, on its own thread.
    void StartMount(const std::vector<std::wstring>& entries, HWND owner = nullptr)
    {
        nas_ = std::make_unique<kxtest::SimulatedNas>(entries);
        StartCommand(nas_->CommandLine("ShellCommandMount"), owner);
    }
    void StartCommand(const std::string& commandLine, HWND owner = nullptr)
    {
        commandLine_ = commandLine;
        owner_ = owner;
        command_ = ::CreateThread(nullptr, 0, &MountDialogUi::RunCommand, this, 0, nullptr);
    }
    static void TickEveryRowAndMount(const DialogDriver& driver)
    {
        const int rows = static_cast<int>(driver.Rows().size());
        for (int row = 0; row < rows; ++row) {
            driver.Tick(row);
        }
        driver.Press(IDOK);
    }
    HMODULE Library() const { return library_.Module(); }
    bool CommandEnded(DWORD timeoutMs) const { return kxtest::WaitPumping(command_, timeoutMs); }

    HWND Dialog()
    {
        HWND dialog = kxtest::WaitForMountDialog(10000);
        EXPECT_NE(nullptr, dialog) << "no mount dialog";
        return dialog;
    }

    kxtest::SimulatedNetworkSession network_;
    std::unique_ptr<kxtest::SimulatedNas> nas_;

private:
    static DWORD WINAPI RunCommand(void* context)
    {
        auto* test = static_cast<MountDialogUi*>(context);
        test->library_.RunVerb(test->mount_, test->commandLine_, test->owner_);
        return 0;
    }

    kxtest::ProductLibrary library_;
    kxtest::VerbEntry mount_ = nullptr;
    HANDLE command_ = nullptr;
    HWND owner_ = nullptr;
    std::string commandLine_;
};

TEST_F(MountDialogUi, OffersOnlyTheStandardSharesWithClearBoxes)
{
    StartMount({L"Public", L"Music"});
    HWND dialog = Dialog();
    ASSERT_NE(nullptr, dialog);
    DialogDriver driver(dialog);
    const std::vector<DialogRow> rows = driver.Rows();
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ(L"Music", rows[0].share);
    EXPECT_EQ(L"", rows[0].status);
    EXPECT_FALSE(rows[0].ticked);
    EXPECT_EQ(L"Shares", driver.ColumnHeader(0));
    EXPECT_EQ(L"Status", driver.ColumnHeader(1));
    EXPECT_EQ(L"Select share(s) to mount from the list below:", driver.ControlText(1003));
    EXPECT_EQ(L"Mount", driver.ControlText(IDOK));
}

std::vector<std::wstring> OfferedShares(HWND dialog)
{
    std::vector<std::wstring> shares;
    for (const auto& row : DialogDriver(dialog).Rows()) {
        shares.push_back(row.share);
    }
    return shares;
}

TEST_F(MountDialogUi, RowsFollowTheOrderOfDetection)
{
    struct OrderCase {
        std::vector<std::wstring> deviceShares;
        std::vector<std::wstring> offered;
    };
    const OrderCase cases[] = {
        {{L"TV-Aufzeichnung", L"Musik", L"Public", L"Dokumente"}, {L"TV-Aufzeichnung", L"Musik", L"Dokumente"}},
        {{L"Dokumente", L"Public", L"Musik", L"TV-Aufzeichnung"}, {L"Dokumente", L"Musik", L"TV-Aufzeichnung"}},
    };
    for (const auto& test : cases) {
        StartMount(test.deviceShares);
        HWND dialog = Dialog();
        ASSERT_NE(nullptr, dialog);
        EXPECT_EQ(test.offered, OfferedShares(dialog));
        ::PostMessageW(dialog, WM_CLOSE, 0, 0);
        EXPECT_TRUE(CommandEnded(10000));
        TearDown();
    }
}

TEST_F(MountDialogUi, MountWithNothingTickedTurnsTheButtonIntoClose)
{
    StartMount({L"Music", L"Videos"});
    HWND dialog = Dialog();
    ASSERT_NE(nullptr, dialog);
    DialogDriver driver(dialog);
    driver.Press(IDOK);
    EXPECT_EQ(L"Close", driver.ControlText(IDOK));
    EXPECT_FALSE(driver.ControlVisible(IDCANCEL));
    EXPECT_TRUE(::IsWindow(dialog));
    EXPECT_TRUE(ConnectCalls(network_).empty());
    driver.Press(IDOK);
    EXPECT_TRUE(CommandEnded(10000));
    EXPECT_FALSE(::IsWindow(dialog));
}

TEST_F(MountDialogUi, TwoSuccessfulMappingsKeepTheDialogOpen)
{
    StartMount({L"Music", L"Videos"});
    HWND dialog = Dialog();
    ASSERT_NE(nullptr, dialog);
    DialogDriver driver(dialog);
    TickEveryRowAndMount(driver);
    const std::vector<DialogRow> rows = driver.Rows();
    ASSERT_EQ(2u, rows.size());
    EXPECT_EQ(L"Mount successful", rows[0].status);
    EXPECT_EQ(L"Mount successful", rows[1].status);
    EXPECT_EQ(L"Close", driver.ControlText(IDOK));
    EXPECT_FALSE(CommandEnded(300));
    const auto connects = ConnectCalls(network_);
    ASSERT_EQ(2u, connects.size());
    const std::string expectedStart = "WNetUseConnectionW owner=NULL resource={scope=0 type=1 display=0 usage=0 "
                                      "local=\"\" remote=\"\\\\" +
                                      kxtest::ToUtf8(nas_->HostName()) + "\\Music\"";
    EXPECT_EQ(expectedStart, connects[0].substr(0, expectedStart.size()));
    EXPECT_NE(std::string::npos, connects[0].find("password=NULL user=NULL flags=0x80"));
    EXPECT_NE(std::string::npos, connects[1].find("\\Videos\""));
}

TEST_F(MountDialogUi, AFailedMappingStillTriesTheNextRowThenCloses)
{
    StartMount({L"Music", L"Videos"});
    nas_->Host().Refuse(L"Music", ERROR_ACCESS_DENIED);
    HWND dialog = Dialog();
    ASSERT_NE(nullptr, dialog);
    DialogDriver driver(dialog);
    TickEveryRowAndMount(driver);
    EXPECT_TRUE(CommandEnded(10000));
    EXPECT_FALSE(::IsWindow(dialog));
    const auto connects = ConnectCalls(network_);
    ASSERT_EQ(2u, connects.size());
    EXPECT_NE(std::string::npos, connects[0].find("-> 5"));
    EXPECT_NE(std::string::npos, connects[1].find("\\Videos\""));
    EXPECT_EQ(nas_->Host().Unc() + L"\\Videos", network_.DriveConnection(L'Z'));
}

// Stands between the library and WNetUseConnectionW: before each mapping it sends the dialog a
// message, as a list view does while a status is written, and notes whether the dialog was
// still there afterwards, and whether a click could still reach the Mount button. It reads the
// status the row before got, too: after a failed mapping the dialog is gone before a test could.
struct ReentryProbe {
    HWND dialog = nullptr;
    std::vector<std::wstring> statusOfThePreviousRow;
    std::vector<bool> dialogAliveAtMapping;
    std::vector<bool> mountButtonEnabledAtMapping;
    decltype(&::WNetUseConnectionW) realConnect = nullptr;
};
ReentryProbe g_probe;

DWORD WINAPI ReenteringConnect(HWND owner, LPNETRESOURCEW resource, LPCWSTR password, LPCWSTR user, DWORD flags,
                               LPWSTR accessName, LPDWORD accessSize, LPDWORD result)
{
    const std::vector<DialogRow> rows = DialogDriver(g_probe.dialog).Rows();
    const size_t mapping = g_probe.dialogAliveAtMapping.size();
    if (mapping > 0 && mapping <= rows.size()) {
        g_probe.statusOfThePreviousRow.push_back(rows[mapping - 1].status);
    }
    ::SendMessageW(g_probe.dialog, WM_NULL, 0, 0);
    g_probe.dialogAliveAtMapping.push_back(::IsWindow(g_probe.dialog) != FALSE);
    g_probe.mountButtonEnabledAtMapping.push_back(::IsWindowEnabled(::GetDlgItem(g_probe.dialog, IDOK)) != FALSE);
    return g_probe.realConnect(owner, resource, password, user, flags, accessName, accessSize, result);
}

TEST_F(MountDialogUi, AMessageDuringThePassDoesNotCloseTheDialogEarly)
{
    StartMount({L"Music", L"Videos", L"Pictures"});
    nas_->Host().Refuse(L"Music", ERROR_ACCESS_DENIED);
    HWND dialog = Dialog();
    ASSERT_NE(nullptr, dialog);
    kxtest::ImportPatch probe(Library(), "MPR.dll", "WNetUseConnectionW",
                              reinterpret_cast<const void*>(&ReenteringConnect));
    ASSERT_TRUE(probe.Installed());
    g_probe = ReentryProbe();
    g_probe.dialog = dialog;
    g_probe.realConnect = probe.Original<decltype(&::WNetUseConnectionW)>();
    TickEveryRowAndMount(DialogDriver(dialog));
    EXPECT_TRUE(CommandEnded(10000));
    EXPECT_EQ((std::vector<bool>{true, true, true}), g_probe.dialogAliveAtMapping);
    EXPECT_EQ((std::vector<std::wstring>{L"Mount failed", L"Mount successful"}), g_probe.statusOfThePreviousRow);
    // A click queued meanwhile would otherwise press Close once the pass is over.
    EXPECT_EQ((std::vector<bool>{false, false, false}), g_probe.mountButtonEnabledAtMapping);
    EXPECT_FALSE(::IsWindow(dialog));
}

TEST_F(MountDialogUi, EscapeOrTheCloseBoxMapsNothing)
{
    for (UINT key : {0u, 1u}) {
        StartMount({L"Music"});
        HWND dialog = Dialog();
        ASSERT_NE(nullptr, dialog);
        DialogDriver(dialog).Tick(0);
        if (key == 0) {
            ::PostMessageW(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
        } else {
            ::PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        }
        EXPECT_TRUE(CommandEnded(10000)) << key;
        EXPECT_TRUE(ConnectCalls(network_).empty()) << key;
        TearDown();
    }
}

TEST_F(MountDialogUi, ADeviceWithoutStandardSharesGetsAWarning)
{
    HWND owner =
        ::CreateWindowExW(0, L"STATIC", L"kx owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    StartMount({L"Public", L"Backup"}, owner);
    HWND box = kxtest::WaitForMessageBox(10000);
    ASSERT_NE(nullptr, box);
    wchar_t text[256] = {};
    ::GetDlgItemTextW(box, 0xFFFF, text, 256);
    EXPECT_STREQ(L"No standard shares are available to mount for this device.", text);
    EXPECT_EQ(owner, ::GetWindow(box, GW_OWNER));
    EXPECT_TRUE(kxtest::MountDialogs().empty());
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(CommandEnded(10000));
    ::DestroyWindow(owner);
}

TEST_F(MountDialogUi, FailuresBeforeTheDialogEndSilently)
{
    StartCommand("KXBL_VNTRTZ71_2_2_0.dll,ShellCommandMount no-identity");
    EXPECT_TRUE(CommandEnded(10000));
    TearDown();
    StartCommand(kxtest::ToUtf8(kxtest::NewUdn())); // a device the finder does not know
    EXPECT_TRUE(CommandEnded(10000));
    TearDown();
    kxtest::SimulatedUpnpDevice unreachable(kxtest::NewUdn(), L"http://kx-no-such-host/desc.xml");
    StartCommand(kxtest::ToUtf8(unreachable.Udn()));
    EXPECT_TRUE(CommandEnded(10000));
    EXPECT_TRUE(kxtest::MountDialogs().empty());
}

HWND WINAPI RefusedDialog(HINSTANCE, LPCWSTR, HWND, DLGPROC, LPARAM)
{
    ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
}

TEST_F(MountDialogUi, ADialogThatCannotBeCreatedEndsTheCommand)
{
    kxtest::ImportPatch refuse(Library(), "USER32.dll", "CreateDialogParamW",
                               reinterpret_cast<const void*>(&RefusedDialog));
    ASSERT_TRUE(refuse.Installed());
    StartMount({L"Music"});
    EXPECT_TRUE(CommandEnded(10000));
    EXPECT_TRUE(kxtest::MountDialogs().empty());
    EXPECT_TRUE(ConnectCalls(network_).empty());
}

// Top-level windows in z-order, topmost first.
std::vector<HWND> WindowsFromTheTop()
{
    std::vector<HWND> windows;
    ::EnumWindows(
        [](HWND window, LPARAM list) {
            reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&windows));
    return windows;
}

bool IsAbove(HWND upper, HWND lower)
{
    const std::vector<HWND> windows = WindowsFromTheTop();
    const auto upperAt = std::find(windows.begin(), windows.end(), upper);
    return upperAt != windows.end() && std::find(upperAt, windows.end(), lower) != windows.end();
}

TEST_F(MountDialogUi, AnOpenDialogElsewhereIsBroughtForwardInstead)
{
    HWND other = ::CreateWindowExW(0, L"STATIC", kxtest::MountDialogTitle, WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, nullptr,
                                   nullptr, nullptr, nullptr);
    HWND cover = ::CreateWindowExW(0, L"STATIC", L"kx cover", WS_POPUP | WS_VISIBLE, 0, 0, 40, 40, nullptr, nullptr,
                                   nullptr, nullptr);
    ASSERT_TRUE(IsAbove(cover, other));
    StartMount({L"Music"});
    EXPECT_TRUE(CommandEnded(10000));
    EXPECT_EQ((std::vector<HWND>{other}), kxtest::MountDialogs());
    EXPECT_TRUE(IsAbove(other, cover)) << "the open dialog stayed behind the window that covered it";
    ::DestroyWindow(cover);
    ::DestroyWindow(other);
}

TEST_F(MountDialogUi, ALongerTitleIsNotAnOpenDialog)
{
    HWND other = ::CreateWindowExW(0, L"STATIC", L"KX Vantorel TZ7100 (old)", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10,
                                   nullptr, nullptr, nullptr, nullptr);
    StartMount({L"Music"});
    HWND dialog = Dialog();
    // A command that took the other window for an open dialog would have destroyed its own
    // dialog right after creating it, and ended.
    EXPECT_FALSE(CommandEnded(300)) << "the command gave way to a window that is not a Mount dialog";
    EXPECT_TRUE(::IsWindow(dialog));
    ::DestroyWindow(other);
}

TEST_F(MountDialogUi, FrenchUiWhateverTheDevicesLanguage)
{
    StartMount({L"Musik", L"Documents"});
    HWND dialog = Dialog();
    ASSERT_NE(nullptr, dialog);
    DialogDriver driver(dialog);
    EXPECT_EQ(L"Partages", driver.ColumnHeader(0));
    EXPECT_EQ(L"\u00C9tat", driver.ColumnHeader(1));
    EXPECT_EQ(L"S\u00E9lectionnez les partage(s) \u00E0 monter \u00E0 partir de la liste suivante\u00A0:",
              driver.ControlText(1003));
    driver.Press(IDOK);
    EXPECT_EQ(L"Fermer", driver.ControlText(IDOK));
}

TEST(MountThroughRundll32, ASecondCommandBringsTheFirstDialogForward)
{
    if (kxtest::EnvironmentText(L"DISPLAY").empty()) {
        GTEST_SKIP() << "no display: the dialog cannot be shown";
    }
    kxtest::SimulatedNetworkSession network;
    kxtest::SimulatedNas nas({L"Public", L"Music", L"Pictures"});
    const std::wstring command = kxtest::Rundll32Command(L"ShellCommandMount", nas.Udn());

    const kx::unique_handle first = kxtest::StartProcess(command);
    ASSERT_TRUE(first);
    HWND dialog = kxtest::WaitForMountDialog(20000);
    ASSERT_NE(nullptr, dialog);

    EXPECT_EQ(0u, kxtest::RunProcess(command, 20000)) << "the second command did not end";
    EXPECT_EQ(1u, kxtest::MountDialogs().size());

    DialogDriver driver(dialog);
    ASSERT_EQ(2u, driver.Rows().size());
    driver.Tick(1);
    driver.Press(IDOK);
    const std::vector<DialogRow> rows = driver.Rows();
    EXPECT_EQ(L"", rows[0].status);
    EXPECT_EQ(L"Mount successful", rows[1].status);
    EXPECT_EQ(nas.Host().Unc() + L"\\Pictures", network.DriveConnection(L'Z'));
    driver.Press(IDOK);
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(first.get(), 20000));
}

} // namespace
