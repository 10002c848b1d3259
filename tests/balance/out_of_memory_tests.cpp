// Out of memory at every allocation the library makes, one at a time: the call that meets it
// ends silently (a verb returns, the co-installer answers NO_ERROR), starts nothing, leaves no
// window behind and gives back everything it took.

#include "allocation_faults.h"
#include "balance_cases.h"
#include "network_explorer_expectations.h"
#include "dialog_driver.h"
#include "process_resources.h"
#include "test_environment.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

namespace {

using kxtest::AllocationFaults;
using kxtest::ProcessResources;

// Far more allocations than any single call makes; reaching it means the count never ends.
constexpr int AllocationLimit = 2000;

struct FaultRun {
    bool injected;
    int outstanding;
};

FaultRun RunWithFailingAllocation(HMODULE library, int failing, const std::function<void()>& call)
{
    AllocationFaults faults(library, failing, AllocationFaults::Sources::WindowsApiAndCRuntime);
    call();
    return {faults.InjectedFailure(), faults.Outstanding()};
}

void Nothing() {}
void NothingToCheck(int /*failing*/) {}

struct FaultScenario {
    std::function<void()> call;
    // Looks at what else a run that met the failure left behind.
    std::function<void(int failing)> checkFailedRun = NothingToCheck;
    // Runs before each run, unwatched.
    std::function<void()> prepare = Nothing;
    // What Wine itself may keep from one run (named where it is granted).
    SIZE_T heapMargin = 0;
};

// Fails allocation 0, 1, 2, ... of the library in turn until a run completes without meeting
// the failure. Answers how many allocation points there were.
int FailEachAllocationInTurn(HMODULE library, const FaultScenario& scenario)
{
    // Outside the count: a clean run fills Wine's caches, and a first failure makes the C++
    // runtime set up its exception state for this thread (once: a dozen blocks, four handles).
    scenario.prepare();
    scenario.call();
    scenario.prepare();
    RunWithFailingAllocation(library, 0, scenario.call);
    kxtest::ResourceTolerance tolerance;
    tolerance.heapBytes = scenario.heapMargin;
    for (int failing = 0; failing < AllocationLimit; ++failing) {
        scenario.prepare();
        const ProcessResources before = kxtest::TakeResources();
        const FaultRun run = RunWithFailingAllocation(library, failing, scenario.call);
        if (!run.injected) {
            std::printf("allocation points: %d\n", failing);
            return failing;
        }
        const ProcessResources after = kxtest::TakeResources();
        EXPECT_EQ(0, run.outstanding) << "allocation " << failing << " failed: blocks left behind";
        EXPECT_EQ("", kxtest::ResourceGrowth(before, after, tolerance)) << "allocation " << failing << " failed";
        EXPECT_EQ(0, after.finderObjects) << "allocation " << failing << " failed";
        EXPECT_EQ(0, after.openEnumerations) << "allocation " << failing << " failed";
        scenario.checkFailedRun(failing);
        if (::testing::Test::HasFailure()) {
            return failing; // one broken allocation point is enough to look at
        }
    }
    ADD_FAILURE() << "every run met the injected failure";
    return AllocationLimit;
}

class VerbsOutOfMemory : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(nullptr, library_.Module());
        ASSERT_TRUE(kxtest::StandInMprLoaded()) << "run with WINEDLLOVERRIDES=mpr=n";
        ASSERT_TRUE(launches_.Installed());
    }

    // Runs a launching verb with each allocation failing in turn; a failed run starts nothing.
    void ExpectLaunchVerbSurvives(const char* verbName)
    {
        kxtest::SimulatedNas nas({L"Music"});
        const kxtest::VerbEntry verb = library_.Verb(verbName);
        ASSERT_NE(nullptr, verb);
        int launchesBefore = 0;
        FaultScenario scenario;
        scenario.call = [&] {
            launchesBefore = launches_.Launches();
            library_.RunVerb(verb, nas.CommandLine(verbName));
        };
        scenario.checkFailedRun = [&](int failing) {
            EXPECT_EQ(launchesBefore, launches_.Launches()) << "allocation " << failing;
        };
        const int points = FailEachAllocationInTurn(library_.Module(), scenario);
        EXPECT_LT(0, points);
        // The run that completed launched.
        EXPECT_EQ(launchesBefore + 1, launches_.Launches());
    }

    kxtest::SimulatedNetworkSession network_;
    kxtest::ProductLibrary library_;
    kxtest::LaunchCapture launches_{library_.Module()};
};

TEST_F(VerbsOutOfMemory, OpenEndsSilentlyAtEveryAllocation)
{
    ExpectLaunchVerbSurvives("ShellCommandOpen");
}

TEST_F(VerbsOutOfMemory, InstallConnectEndsSilentlyAtEveryAllocation)
{
    ExpectLaunchVerbSurvives("ShellCommandInstallConnect");
}

TEST_F(VerbsOutOfMemory, MountUpToTheDialogEndsSilentlyAtEveryAllocation)
{
    kxtest::SimulatedNas nas({L"Music", L"Videos"});
    nas.FailEnumerationLate();
    // Should a window come up after all, it is answered rather than left to hang the test.
    kxtest::DialogAutopilot pilot;
    const kxtest::VerbEntry mount = library_.Verb("ShellCommandMount");
    ASSERT_NE(nullptr, mount);
    FaultScenario scenario;
    scenario.call = [&] { library_.RunVerb(mount, nas.CommandLine("ShellCommandMount")); };
    EXPECT_LT(0, FailEachAllocationInTurn(library_.Module(), scenario));
    EXPECT_EQ(0, pilot.Answered());
}

TEST_F(VerbsOutOfMemory, MountThroughTheDialogEndsSilentlyAtEveryAllocation)
{
    if (kxtest::EnvironmentText(L"DISPLAY").empty()) {
        GTEST_SKIP() << "no display: the dialog cannot be shown";
    }
    kxtest::MountThroughDialog mount(library_);
    ASSERT_TRUE(mount.HasVerb());
    FaultScenario scenario;
    scenario.call = [&] { mount.Run(); };
    scenario.checkFailedRun = [&](int failing) {
        EXPECT_TRUE(kxtest::MountDialogs().empty()) << "allocation " << failing;
        EXPECT_EQ(0, mount.Pilot().ForcedCloses()) << "allocation " << failing << ": the dialog could not be closed";
    };
    scenario.heapMargin = kxtest::WineHeapPerDialogMapping;
    EXPECT_LT(0, FailEachAllocationInTurn(library_.Module(), scenario));
    EXPECT_LT(0, mount.Pilot().Answered());
}

class CoInstallerOutOfMemory : public kxtest::CoInstallerCase {};

TEST_P(CoInstallerOutOfMemory, AnswersNoErrorAtEveryAllocation)
{
    FaultScenario scenario;
    // A registration that runs out of memory says so and leaves the trees it found, the
    // co-installer's, as they were.
    scenario.call = [&] {
        const DWORD result = CallCodeUnderTest();
        if (GetParam().throughDllInstall && result == static_cast<DWORD>(E_OUTOFMEMORY)) {
            EXPECT_EQ(kxtest::DescribeExpectedKeys(kxtest::ExpectedCaptions()), kxtest::DescribeNetworkExplorerKeys());
            return;
        }
        EXPECT_EQ(static_cast<DWORD>(NO_ERROR), result);
    };
    scenario.prepare = [&] { PrepareCall(); };
    FailEachAllocationInTurn(Library(), scenario);
}

INSTANTIATE_TEST_SUITE_P(EveryCode, CoInstallerOutOfMemory, ::testing::ValuesIn(kxtest::CoInstallerCodes),
                         kxtest::CoInstallerCaseName);

} // namespace
