// A thousand calls of each entry point in one process, against the simulated device: whatever
// the library takes from the process (handles, heap, window objects, the finder's COM objects,
// network enumerations) it must give back.

#include "balance_cases.h"
#include "process_resources.h"
#include "allocation_faults.h"
#include "test_environment.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

namespace {

using kxtest::ProcessResources;
using kxtest::ResourceTolerance;

constexpr int Runs = 1000;
constexpr int WarmUpRuns = 20;
// The full dialog takes tens of milliseconds a run; the path without it runs the thousand.
constexpr int DialogRuns = 40;

// Warms up, then runs the call `runs` times and checks that the process is back where it was.
// The library's own blocks and BSTRs are counted exactly through its imports; the heap as a
// whole may grow by heapMargin, for what Wine itself keeps (named where it is granted).
void ExpectBalanced(HMODULE library, int runs, const std::function<void()>& call, SIZE_T heapMargin = 0)
{
    for (int run = 0; run < WarmUpRuns; ++run) {
        call();
    }
    const ProcessResources before = kxtest::TakeResources();
    {
        kxtest::AllocationFaults ledger(library, kxtest::AllocationFaults::NeverFail,
                                        kxtest::AllocationFaults::Sources::WindowsApiAndCRuntime);
        for (int run = 0; run < runs; ++run) {
            call();
        }
        EXPECT_EQ(0, ledger.Outstanding()) << "blocks the library allocated and never freed";
    }
    const ProcessResources after = kxtest::TakeResources();
    std::printf("handles %lu -> %lu, heap bytes %zu -> %zu, GDI %lu -> %lu, USER %lu -> %lu, windows %lu -> %lu\n",
                before.handles, after.handles, before.heapBytes, after.heapBytes, before.gdiObjects, after.gdiObjects,
                before.userObjects, after.userObjects, before.windows, after.windows);
    ResourceTolerance tolerance;
    tolerance.heapBytes = heapMargin;
    EXPECT_EQ("", kxtest::ResourceGrowth(before, after, tolerance));
    EXPECT_EQ(0, after.finderObjects);
    EXPECT_EQ(0, after.openEnumerations);
}

class VerbBalance : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(nullptr, library_.Module());
        ASSERT_TRUE(kxtest::StandInMprLoaded()) << "run with WINEDLLOVERRIDES=mpr=n";
        ASSERT_TRUE(launches_.Installed());
    }

    kxtest::SimulatedNetworkSession network_;
    kxtest::ProductLibrary library_;
    kxtest::LaunchCapture launches_{library_.Module()};
};

TEST_F(VerbBalance, OpenGivesBackEverything)
{
    kxtest::SimulatedNas nas({L"Music"});
    const kxtest::VerbEntry open = library_.Verb("ShellCommandOpen");
    ASSERT_NE(nullptr, open);
    ExpectBalanced(library_.Module(), Runs, [&] { library_.RunVerb(open, nas.CommandLine("ShellCommandOpen")); });
    EXPECT_EQ(WarmUpRuns + Runs, launches_.Launches());
    EXPECT_EQ(L"\\\\" + nas.HostName(), launches_.LastTarget());
}

TEST_F(VerbBalance, InstallConnectGivesBackEverything)
{
    kxtest::SimulatedNas nas({L"Music"});
    const kxtest::VerbEntry connect = library_.Verb("ShellCommandInstallConnect");
    ASSERT_NE(nullptr, connect);
    ExpectBalanced(library_.Module(), Runs,
                   [&] { library_.RunVerb(connect, nas.CommandLine("ShellCommandInstallConnect")); });
    EXPECT_EQ(WarmUpRuns + Runs, launches_.Launches());
    EXPECT_EQ(L"http://" + nas.HostName() + L"/Connect", launches_.LastTarget());
}

// The whole path up to the dialog, a thousand times.
TEST_F(VerbBalance, MountUpToTheDialogGivesBackEverything)
{
    kxtest::SimulatedNas nas({L"Music", L"Videos"});
    nas.FailEnumerationLate();
    // Should a window come up after all, it is answered rather than left to hang the test.
    kxtest::DialogAutopilot pilot;
    const kxtest::VerbEntry mount = library_.Verb("ShellCommandMount");
    ASSERT_NE(nullptr, mount);
    const size_t callsBefore = network_.Calls().size();
    ExpectBalanced(library_.Module(), Runs, [&] { library_.RunVerb(mount, nas.CommandLine("ShellCommandMount")); });
    // Open, two batches and the close on every run: the enumeration really ran.
    EXPECT_LE(callsBefore + 4u * (WarmUpRuns + Runs), network_.Calls().size());
    EXPECT_EQ(0, launches_.Launches());
    EXPECT_EQ(0, pilot.Answered());
}

TEST_F(VerbBalance, MountThroughTheDialogGivesBackEverything)
{
    if (kxtest::EnvironmentText(L"DISPLAY").empty()) {
        GTEST_SKIP() << "no display: the dialog cannot be shown";
    }
    kxtest::MountThroughDialog mount(library_);
    ASSERT_TRUE(mount.HasVerb());
    ExpectBalanced(
        library_.Module(), DialogRuns, [&] { mount.Run(); }, kxtest::WineHeapPerDialogMapping * DialogRuns);
    EXPECT_EQ(WarmUpRuns + DialogRuns, mount.Pilot().Answered());
    EXPECT_EQ(0, mount.Pilot().ForcedCloses());
}

class CoInstallerBalance : public kxtest::CoInstallerCase {};

TEST_P(CoInstallerBalance, GivesBackEverything)
{
    DWORD worst = NO_ERROR;
    ExpectBalanced(Library(), Runs, [&] {
        PrepareCall();
        const DWORD result = CallCodeUnderTest();
        worst = result != NO_ERROR ? result : worst;
    });
    EXPECT_EQ(static_cast<DWORD>(NO_ERROR), worst);
}

INSTANTIATE_TEST_SUITE_P(EveryCode, CoInstallerBalance, ::testing::ValuesIn(kxtest::CoInstallerCodes),
                         kxtest::CoInstallerCaseName);

} // namespace
