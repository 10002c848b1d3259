#include "allocation_faults.h"
#include "common/bounded_text.h"
#include "common/counted_string.h"
#include "common/hresult_error.h"
#include "common/trace.h"
#include "import_patch.h"
#include "trace_recorder.h"

#include <gtest/gtest.h>

#include <string>

using kx::CountedString;

namespace {

HRESULT RaisedCode(void (*action)())
{
    try {
        action();
    } catch (const kx::HResultError& error) {
        return error.Code();
    }
    return S_OK;
}

TEST(CountedString, MakeCopiesTheTextIntoANewHolder)
{
    wchar_t source[] = L"nas01";
    CountedString text = CountedString::Make(source);
    source[0] = L'X';
    EXPECT_STREQ(L"nas01", text.Bstr());
    EXPECT_EQ(5u, text.Length());
    EXPECT_EQ(1, text.ReferenceCount());
}

TEST(CountedString, NullTextGivesAHolderWithoutBstr)
{
    CountedString text = CountedString::Make(nullptr);
    EXPECT_EQ(nullptr, text.Bstr());
    EXPECT_EQ(1, text.ReferenceCount());
    EXPECT_STREQ(L"", text.Text());
}

TEST(CountedString, CopiesShareOneHolderUntilTheLastGoes)
{
    CountedString first = CountedString::Make(L"shared");
    {
        CountedString second = first;
        CountedString third;
        third = second;
        EXPECT_EQ(3, first.ReferenceCount());
        EXPECT_EQ(first.Bstr(), third.Bstr());
    }
    EXPECT_EQ(1, first.ReferenceCount());
}

TEST(CountedString, AssignReplacesTheHolderAndLeavesOtherSharersAlone)
{
    CountedString host = CountedString::Make(L"old");
    CountedString keeper = host;
    host.Assign(L"new");
    EXPECT_STREQ(L"new", host.Bstr());
    EXPECT_STREQ(L"old", keeper.Bstr());
    EXPECT_EQ(1, keeper.ReferenceCount());
}

TEST(CountedString, ConcatJoinsBothTextsInOrder)
{
    CountedString joined = CountedString::Concat(CountedString::Make(L"http://"), CountedString::Make(L"nas01"));
    EXPECT_STREQ(L"http://nas01", joined.Bstr());
    EXPECT_EQ(12u, ::SysStringLen(joined.Bstr()));
}

TEST(CountedString, ConcatOfTwoEmptyStringsIsAHolderWithoutBstr)
{
    CountedString joined = CountedString::Concat(CountedString(), CountedString::Make(nullptr));
    EXPECT_EQ(1, joined.ReferenceCount());
    EXPECT_EQ(nullptr, joined.Bstr());
}

TEST(CountedString, ConcatWithOneEmptySideCopiesTheOther)
{
    CountedString joined = CountedString::Concat(CountedString(), CountedString::Make(L"\\\\"));
    EXPECT_STREQ(L"\\\\", joined.Bstr());
}

UINT WINAPI HugeStringLength(BSTR)
{
    return 0x7FFFFFF0u;
}

TEST(CountedString, ConcatWhoseLengthOverflowsRaisesOutOfMemory)
{
    kxtest::ImportPatch hugeLengths(kxtest::TestProgramModule(), "OLEAUT32.dll", "SysStringLen",
                                    reinterpret_cast<const void*>(&HugeStringLength));
    ASSERT_TRUE(hugeLengths.Installed());
    EXPECT_EQ(E_OUTOFMEMORY, RaisedCode([] {
                  CountedString a = CountedString::Make(L"a");
                  CountedString b = CountedString::Make(L"b");
                  CountedString::Concat(a, b);
              }));
}

TEST(CountedString, NarrowCopyIsMadeOnDemandAndKept)
{
    CountedString text = CountedString::Make(L"uuid:1234");
    const char* narrow = text.Narrow();
    EXPECT_STREQ("uuid:1234", narrow);
    EXPECT_EQ(narrow, text.Narrow());
    EXPECT_STREQ("", CountedString().Narrow());
}

TEST(CountedString, EveryRefusedAllocationRaisesOutOfMemoryAndLeaksNothing)
{
    for (int failing = 0; failing < 4; ++failing) {
        kxtest::AllocationFaults faults(kxtest::TestProgramModule(), failing);
        const HRESULT raised = RaisedCode([] {
            CountedString joined = CountedString::Concat(CountedString::Make(L"a"), CountedString::Make(L"b"));
            joined.Narrow();
        });
        EXPECT_EQ(E_OUTOFMEMORY, raised) << "allocation " << failing;
        EXPECT_EQ(0, faults.Outstanding()) << "allocation " << failing;
    }
}

struct CopyCase {
    const wchar_t* source;
    size_t capacity;
    const wchar_t* expected;
    bool whole;
};

TEST(BoundedText, CopyCutsToCapacityAndAlwaysTerminates)
{
    const CopyCase cases[] = {
        {L"abc", 8, L"abc", true}, {L"abcdefg", 8, L"abcdefg", true}, {L"abcdefgh", 8, L"abcdefg", false},
        {L"abc", 1, L"", false},   {nullptr, 8, L"", true},           {L"", 8, L"", true},
    };
    for (const auto& test : cases) {
        wchar_t buffer[10];
        for (auto& character : buffer) {
            character = L'#';
        }
        EXPECT_EQ(test.whole, kx::BoundedCopy(buffer, test.capacity, test.source));
        EXPECT_STREQ(test.expected, buffer);
        EXPECT_EQ(L'#', buffer[test.capacity]) << "wrote past capacity " << test.capacity;
    }
}

TEST(BoundedText, AppendKeepsTheWholeTextBelowTheLimit)
{
    wchar_t path[16] = L"abc";
    EXPECT_TRUE(kx::BoundedAppend(path, 8, L"\\de"));
    EXPECT_STREQ(L"abc\\de", path);
    EXPECT_FALSE(kx::BoundedAppend(path, 8, L"fghij"));
    EXPECT_STREQ(L"abc\\def", path);
    EXPECT_EQ(L'\0', path[7]);
}

TEST(BoundedText, AppendAddsNothingWithoutATerminatorWithinTheLimit)
{
    wchar_t path[8] = {L'a', L'b', L'c', L'd', L'e', L'\0', L'\0', L'\0'};
    EXPECT_FALSE(kx::BoundedAppend(path, 5, L"x"));
    EXPECT_EQ(L'\0', path[5]);
    EXPECT_EQ(std::wstring(L"abcde"), std::wstring(path));
}

TEST(Trace, FormatsWideTextAndSignedNumbers)
{
    kxtest::TraceRecorder::Clear();
    kx::TraceLine(L"%s|%d|%d\r\n", L"Grüße", -42, 7);
    EXPECT_STREQ(L"Grüße|-42|7\r\n", kx::TraceBuffer());
    ASSERT_EQ(1u, kxtest::TraceRecorder::Lines().size());
    EXPECT_EQ(kx::TraceRoute::FormatOnly, kxtest::TraceRecorder::Lines()[0].route);
}

TEST(Trace, SinkLinesAreRoutedToTheSink)
{
    kxtest::TraceRecorder::Clear();
    kx::TraceLineToSink(L"Exiting %s...\r\n", L"x");
    EXPECT_EQ(std::vector<std::wstring>{L"Exiting x...\r\n"}, kxtest::TraceRecorder::SinkTexts());
}

TEST(Trace, ALongLineIsCutToTheBufferAndTerminated)
{
    const std::wstring longText(1000, L'x');
    kx::TraceLine(L"%s", longText.c_str());
    EXPECT_EQ(kx::TraceBufferLength - 1, std::wstring(kx::TraceBuffer()).size());
}

} // namespace
