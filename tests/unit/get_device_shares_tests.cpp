// Share enumeration against the stand-in mpr.dll: what the product asks the provider for, what
// it stores from each answer, and the trace it leaves.

#include "common/trace.h"
#include "import_patch.h"
#include "simulated_network.h"
#include "test_environment.h"
#include "trace_recorder.h"
#include "utilities/utilities.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

using kx::CUtilities;
using kxtest::SimulatedShareHost;

namespace {

constexpr wchar_t GuardCharacter = 0xCCCC;

// A caller-owned list with one guard slot behind its capacity, to catch writes past the end.
// The guard begins empty, as a free slot does: a slot that looks taken would stop a write past
// the capacity by itself and hide a wrong capacity check.
class ShareList {
public:
    explicit ShareList(UINT capacity) : capacity_(capacity), characters_((capacity + 1) * kx::ShareNameLength, L'\0')
    {
        std::fill(characters_.end() - kx::ShareNameLength + 1, characters_.end(), GuardCharacter);
    }

    kx::ShareNameSlot* Slots() { return reinterpret_cast<kx::ShareNameSlot*>(characters_.data()); }
    UINT Capacity() const { return capacity_; }
    const wchar_t* Slot(UINT index) const { return characters_.data() + index * kx::ShareNameLength; }

    std::vector<std::wstring> Names(UINT count) const
    {
        std::vector<std::wstring> names;
        for (UINT index = 0; index < count; ++index) {
            names.emplace_back(Slot(index));
        }
        return names;
    }
    bool ZeroFrom(UINT first) const
    {
        return std::all_of(characters_.begin() + first * kx::ShareNameLength, characters_.end() - kx::ShareNameLength,
                           [](wchar_t c) { return c == L'\0'; });
    }
    bool GuardIntact() const
    {
        return *(characters_.end() - kx::ShareNameLength) == L'\0' &&
               std::all_of(characters_.end() - kx::ShareNameLength + 1, characters_.end(),
                           [](wchar_t c) { return c == GuardCharacter; });
    }

private:
    UINT capacity_;
    std::vector<wchar_t> characters_;
};

class GetDeviceShares : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(kxtest::StandInMprLoaded()) << "run with WINEDLLOVERRIDES=mpr=n";
        kxtest::TraceRecorder::Clear();
    }
    void TearDown() override { EXPECT_EQ(0, kxtest::StandInOpenEnumerations()); }

    int Enumerate(const std::wstring& deviceName, ShareList& list)
    {
        return CUtilities::GetDeviceShares(deviceName.c_str(), &count, list.Capacity(), list.Slots());
    }
    std::vector<std::wstring> Traced(const std::wstring& prefix) const
    {
        std::vector<std::wstring> matching;
        for (const auto& line : kxtest::TraceRecorder::SinkTexts()) {
            if (line.compare(0, prefix.size(), prefix) == 0) {
                matching.push_back(line);
            }
        }
        return matching;
    }

    kxtest::SimulatedNetworkSession network;
    UINT count = 0;
};

std::string OpenCall(const std::wstring& deviceName, DWORD result)
{
    return "WNetOpenEnumW scope=2 type=1 usage=0 resource={scope=2 type=1 display=0 usage=2 local=\"\" remote=\"" +
           kxtest::ToUtf8(deviceName) + "\" comment=\"\" provider=\"\"} -> " + std::to_string(result);
}

const char BatchCallPrefix[] = "WNetEnumResourceW count=0xFFFFFFFF size=9600 -> ";

TEST_F(GetDeviceShares, HostWithoutSharesLeavesTheListEmpty)
{
    SimulatedShareHost host({});
    ShareList list(4);

    EXPECT_EQ(1, Enumerate(host.Unc(), list));
    EXPECT_EQ(0u, count);
    EXPECT_TRUE(list.ZeroFrom(0));
    EXPECT_EQ((std::vector<std::wstring>{L"Entering CUtilities::GetDeviceShares...\r\n",
                                         L"CUtilities::GetDeviceShares -- deviceName: " + host.Unc() + L"\r\n",
                                         L"Exiting CUtilities::GetDeviceShares...\r\n"}),
              kxtest::TraceRecorder::SinkTexts());
    EXPECT_EQ(
        (std::vector<std::string>{OpenCall(host.Unc(), 0), BatchCallPrefix + std::string("259"), "WNetCloseEnum -> 0"}),
        network.Calls());
}

TEST_F(GetDeviceShares, StoresTheNameAfterTheLastBackslashWithItsPunctuation)
{
    SimulatedShareHost host({L"Public", L"TV-Aufzeichnung", L"my.photos", L"|3|NoBackslash"});
    ShareList list(8);

    EXPECT_EQ(1, Enumerate(host.Unc(), list));
    ASSERT_EQ(4u, count);
    EXPECT_EQ((std::vector<std::wstring>{L"Public", L"TV-Aufzeichnung", L"my.photos", L"NoBackslash"}),
              list.Names(count));
    EXPECT_TRUE(list.ZeroFrom(4));
}

TEST_F(GetDeviceShares, TracesEachStoredShare)
{
    SimulatedShareHost host({L"Public"});
    ShareList list(2);
    const std::wstring remoteName = host.Unc() + L"\\Public";

    Enumerate(host.Unc(), list);
    EXPECT_EQ((std::vector<std::wstring>{
                  L"Entering CUtilities::GetDeviceShares...\r\n",
                  L"CUtilities::GetDeviceShares -- deviceName: " + host.Unc() + L"\r\n",
                  L"CUtilities::GetDeviceShares -- Share found: " + remoteName + L"\r\n",
                  L"Start index before: " + std::to_wstring(remoteName.size()) + L"\r\n",
                  L"Start index after: " + std::to_wstring(remoteName.size() - 6) + L"\r\n",
                  L"Share name: Public\r\n",
                  L"Exiting CUtilities::GetDeviceShares...\r\n",
              }),
              kxtest::TraceRecorder::SinkTexts());
}

TEST_F(GetDeviceShares, CutsALongNameTo259Characters)
{
    const std::wstring longName(300, L'x');
    SimulatedShareHost host({longName, L"After"});
    ShareList list(2);

    EXPECT_EQ(1, Enumerate(host.Unc(), list));
    ASSERT_EQ(2u, count);
    EXPECT_EQ(longName.substr(0, 259), list.Slot(0));
    EXPECT_EQ(L"After", std::wstring(list.Slot(1)));
    EXPECT_TRUE(list.GuardIntact());
}

TEST_F(GetDeviceShares, AFullListStoresNothingMoreButKeepsEnumerating)
{
    SimulatedShareHost host({L"One", L"Two", L"Three", L"Four"});
    ShareList list(2);

    EXPECT_EQ(1, Enumerate(host.Unc(), list));
    EXPECT_EQ(2u, count);
    EXPECT_EQ((std::vector<std::wstring>{L"One", L"Two"}), list.Names(count));
    EXPECT_TRUE(list.GuardIntact());
    EXPECT_EQ(4u, Traced(L"CUtilities::GetDeviceShares -- Share found: ").size());
    EXPECT_EQ(2u, Traced(L"Exiting CUtilities::GetDeviceShares -- shares[] is full!\r\n").size());
}

TEST_F(GetDeviceShares, ACountAtAnOccupiedSlotStoresNothing)
{
    SimulatedShareHost host({L"One", L"Two"});
    ShareList list(4);
    list.Slots()[0][0] = L'K';

    EXPECT_EQ(1, Enumerate(host.Unc(), list));
    EXPECT_EQ(0u, count);
    EXPECT_EQ(L"K", std::wstring(list.Slot(0)));
    EXPECT_TRUE(list.ZeroFrom(1));
    EXPECT_EQ(2u, Traced(L"Exiting CUtilities::GetDeviceShares -- shares[] is full!\r\n").size());
}

TEST_F(GetDeviceShares, AppendsBehindNamesAlreadyInTheList)
{
    SimulatedShareHost host({L"Music"});
    ShareList list(4);
    list.Slots()[0][0] = L'K';
    count = 1;

    EXPECT_EQ(1, Enumerate(host.Unc(), list));
    EXPECT_EQ(2u, count);
    EXPECT_EQ((std::vector<std::wstring>{L"K", L"Music"}), list.Names(count));
}

TEST_F(GetDeviceShares, IgnoresEntriesThatAreNotShares)
{
    SimulatedShareHost host({L"|2|\\\\elsewhere", L"Music", L"|1|\\\\x\\Domain", L"|0|\\\\x\\Generic", L"Photos"});
    ShareList list(8);

    EXPECT_EQ(1, Enumerate(host.Unc(), list));
    EXPECT_EQ((std::vector<std::wstring>{L"Music", L"Photos"}), list.Names(count));
    EXPECT_EQ(2u, Traced(L"CUtilities::GetDeviceShares -- Share found: ").size());
}

TEST_F(GetDeviceShares, StoresBatchesInOrderAndResetsTheRequestBeforeEachCall)
{
    SimulatedShareHost host({L"A", L"B", L"C", L"D", L"E"});
    host.SetNumber(kxsim::HostBatchSizeValue, 2);
    ShareList list(8);

    EXPECT_EQ(1, Enumerate(host.Unc(), list));
    EXPECT_EQ((std::vector<std::wstring>{L"A", L"B", L"C", L"D", L"E"}), list.Names(count));
    EXPECT_EQ((std::vector<std::string>{OpenCall(host.Unc(), 0), BatchCallPrefix + std::string("0 count=2"),
                                        BatchCallPrefix + std::string("0 count=2"),
                                        BatchCallPrefix + std::string("0 count=1"),
                                        BatchCallPrefix + std::string("259"), "WNetCloseEnum -> 0"}),
              network.Calls());
}

TEST_F(GetDeviceShares, AFailingLaterBatchKeepsTheEarlierNames)
{
    SimulatedShareHost host({L"A", L"B", L"C"});
    host.SetNumber(kxsim::HostBatchSizeValue, 2);
    host.FailBatch(2, ERROR_NETNAME_DELETED);
    ShareList list(8);

    EXPECT_EQ(1, Enumerate(host.Unc(), list));
    EXPECT_EQ((std::vector<std::wstring>{L"A", L"B"}), list.Names(count));
    EXPECT_EQ(1u, Traced(L"CUtilities::GetDeviceShares -- WNetEnumResource failed with error: 64\r\n").size());
    EXPECT_EQ("WNetCloseEnum -> 0", network.Calls().back());
}

TEST_F(GetDeviceShares, AnEntryTooLargeForTheBufferEndsTheEnumeration)
{
    SimulatedShareHost host({L"A", std::wstring(5000, L'y'), L"B"});
    ShareList list(8);

    EXPECT_EQ(1, Enumerate(host.Unc(), list));
    EXPECT_EQ((std::vector<std::wstring>{L"A"}), list.Names(count));
    EXPECT_EQ(1u, Traced(L"CUtilities::GetDeviceShares -- WNetEnumResource failed with error: 234\r\n").size());
}

struct OpenFailureCase {
    const char* name;
    bool configured;
    DWORD openError;
    DWORD expectedError;
};

class GetDeviceSharesOpenFailure : public GetDeviceShares, public ::testing::WithParamInterface<OpenFailureCase> {};

TEST_P(GetDeviceSharesOpenFailure, AnswersZeroAndClosesNothing)
{
    const OpenFailureCase& failure = GetParam();
    SimulatedShareHost host({L"Music"});
    if (failure.openError != NO_ERROR) {
        host.SetNumber(kxsim::HostOpenErrorValue, failure.openError);
    }
    const std::wstring deviceName = failure.configured ? host.Unc() : L"\\\\" + kxtest::UniqueName(L"absent-");
    ShareList list(4);
    count = 3;

    EXPECT_EQ(0, Enumerate(deviceName, list));
    EXPECT_EQ(3u, count);
    EXPECT_TRUE(list.ZeroFrom(0));
    EXPECT_EQ(L"CUtilities::GetDeviceShares -- WnetOpenEnum failed with error: " +
                  std::to_wstring(failure.expectedError) + L"\r\n",
              kxtest::TraceRecorder::SinkTexts().back());
    EXPECT_EQ((std::vector<std::string>{OpenCall(deviceName, failure.expectedError)}), network.Calls());
}

INSTANTIATE_TEST_SUITE_P(Cases, GetDeviceSharesOpenFailure,
                         ::testing::Values(OpenFailureCase{"UnreachableHost", false, NO_ERROR, ERROR_BAD_NETPATH},
                                           OpenFailureCase{"AccessDenied", true, ERROR_ACCESS_DENIED,
                                                           ERROR_ACCESS_DENIED},
                                           OpenFailureCase{"NoNetwork", true, ERROR_NO_NETWORK, ERROR_NO_NETWORK}),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

TEST_F(GetDeviceShares, AFailingCloseAnswersZeroAndKeepsTheNames)
{
    SimulatedShareHost host({L"Music", L"Photos"});
    host.SetNumber(kxsim::HostCloseErrorValue, ERROR_UNEXP_NET_ERR);
    ShareList list(4);

    EXPECT_EQ(0, Enumerate(host.Unc(), list));
    EXPECT_EQ((std::vector<std::wstring>{L"Music", L"Photos"}), list.Names(count));
    EXPECT_EQ(L"CUtilities::GetDeviceShares -- WNetCloseEnum failed with error: 59\r\n",
              kxtest::TraceRecorder::SinkTexts().back());
}

// Passes the first batch on, then raises inside the guarded region.
DWORD WINAPI EnumerateThenThrow(HANDLE handle, LPDWORD entryCount, LPVOID buffer, LPDWORD bufferBytes);
kxtest::ImportPatch* g_enumeratePatch = nullptr;
int g_enumerateCalls = 0;

DWORD WINAPI EnumerateThenThrow(HANDLE handle, LPDWORD entryCount, LPVOID buffer, LPDWORD bufferBytes)
{
    if (++g_enumerateCalls > 1) {
        throw std::runtime_error("provider fault");
    }
    using Original = DWORD(WINAPI*)(HANDLE, LPDWORD, LPVOID, LPDWORD);
    return g_enumeratePatch->Original<Original>()(handle, entryCount, buffer, bufferBytes);
}

TEST_F(GetDeviceShares, AnExceptionWhileEnumeratingStillClosesAndKeepsTheNames)
{
    SimulatedShareHost host({L"A", L"B", L"C"});
    host.SetNumber(kxsim::HostBatchSizeValue, 2);
    ShareList list(8);
    kxtest::ImportPatch patch(kxtest::TestProgramModule(), "mpr.dll", "WNetEnumResourceW",
                              reinterpret_cast<const void*>(&EnumerateThenThrow));
    ASSERT_TRUE(patch.Installed());
    g_enumeratePatch = &patch;
    g_enumerateCalls = 0;

    EXPECT_EQ(1, Enumerate(host.Unc(), list));
    EXPECT_EQ((std::vector<std::wstring>{L"A", L"B"}), list.Names(count));
    const auto traced = kxtest::TraceRecorder::SinkTexts();
    ASSERT_GE(traced.size(), 2u);
    EXPECT_EQ(L"Exiting CUtilities::GetDeviceShares -- try/catch exception thrown!\r\n", traced[traced.size() - 2]);
    EXPECT_EQ(L"Exiting CUtilities::GetDeviceShares...\r\n", traced.back());
    EXPECT_EQ("WNetCloseEnum -> 0", network.Calls().back());
}

// One batch of records that a faulty provider could hand back: more entries than the buffer
// holds, a name outside the buffer, a name running to the buffer's end, and one good share.
DWORD WINAPI EnumerateMalformedBatch(HANDLE, LPDWORD entryCount, LPVOID buffer, LPDWORD bufferBytes)
{
    if (++g_enumerateCalls > 1) {
        return ERROR_NO_MORE_ITEMS;
    }
    static wchar_t outside[] = L"\\\\h\\Outside";
    auto* bytes = static_cast<BYTE*>(buffer);
    std::fill(bytes, bytes + *bufferBytes, BYTE{0x41});
    auto* records = static_cast<NETRESOURCEW*>(buffer);
    const DWORD recordCount = 3;
    std::fill(records, records + recordCount, NETRESOURCEW{});
    // The good name and its NUL sit 16 characters before the end; behind them 7 characters
    // without a NUL.
    auto* good = reinterpret_cast<wchar_t*>(bytes + *bufferBytes) - 16;
    std::copy_n(L"\\\\h\\Good", 9, good);
    records[0].dwDisplayType = RESOURCEDISPLAYTYPE_SHARE;
    records[0].lpRemoteName = outside;
    records[1].dwDisplayType = RESOURCEDISPLAYTYPE_SHARE;
    records[1].lpRemoteName = good + 9;
    records[2].dwDisplayType = RESOURCEDISPLAYTYPE_SHARE;
    records[2].lpRemoteName = good;
    *entryCount = 100000;
    return NO_ERROR;
}

TEST_F(GetDeviceShares, AMalformedBatchIsReadOnlyWithinTheBuffer)
{
    SimulatedShareHost host({});
    ShareList list(8);
    kxtest::ImportPatch patch(kxtest::TestProgramModule(), "mpr.dll", "WNetEnumResourceW",
                              reinterpret_cast<const void*>(&EnumerateMalformedBatch));
    ASSERT_TRUE(patch.Installed());
    g_enumerateCalls = 0;

    EXPECT_EQ(1, Enumerate(host.Unc(), list));
    EXPECT_EQ((std::vector<std::wstring>{L"Good"}), list.Names(count));
    EXPECT_TRUE(list.GuardIntact());
}

TEST_F(GetDeviceShares, NullOrEmptyRemoteNamesAreNotStored)
{
    SimulatedShareHost host({L"|3", L"|3|", L"|3|\\\\x\\", L"Music"});
    ShareList list(8);

    EXPECT_EQ(1, Enumerate(host.Unc(), list));
    EXPECT_EQ((std::vector<std::wstring>{L"Music"}), list.Names(count));
    EXPECT_TRUE(list.ZeroFrom(1));
}

TEST_F(GetDeviceShares, WithoutDeviceNameOrCountNothingIsEnumerated)
{
    ShareList list(4);
    EXPECT_EQ(0, CUtilities::GetDeviceShares(nullptr, &count, list.Capacity(), list.Slots()));
    EXPECT_EQ(0, CUtilities::GetDeviceShares(L"\\\\nas01", nullptr, list.Capacity(), list.Slots()));
    EXPECT_EQ(0, CUtilities::GetDeviceShares(L"\\\\nas01", &count, 4, nullptr));
    EXPECT_TRUE(network.Calls().empty());
}

} // namespace
