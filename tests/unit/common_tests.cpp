#include "allocation_faults.h"
#include "common/bounded_text.h"
#include "common/counted_string.h"
#include "common/hresult_error.h"
#include "common/trace.h"
#include "import_patch.h"
#include "trace_recorder.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
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

// Text that ends where a page ends, before a page nobody may touch: a read or write past the
// text's limit is counted and let through (the page is opened and reads as zeros), so that the
// case that did it fails and the program goes on to the next one.
class PageEndText {
public:
    PageEndText()
    {
        SYSTEM_INFO system{};
        ::GetSystemInfo(&system);
        page_ = system.dwPageSize;
        pages_ = static_cast<char*>(::VirtualAlloc(nullptr, 2 * page_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        current_ = this;
        handler_ = ::AddVectoredExceptionHandler(1, &PageEndText::OnAccessViolation);
    }
    ~PageEndText()
    {
        ::RemoveVectoredExceptionHandler(handler_);
        current_ = nullptr;
        ::VirtualFree(pages_, 0, MEM_RELEASE);
    }
    PageEndText(const PageEndText&) = delete;
    PageEndText& operator=(const PageEndText&) = delete;

    // The last `length` characters before the closed page, each L'#'.
    wchar_t* Place(size_t length)
    {
        ::VirtualFree(Guard(), page_, MEM_DECOMMIT);
        ::VirtualAlloc(Guard(), page_, MEM_COMMIT, PAGE_NOACCESS);
        crossed_ = false;
        wchar_t* text = reinterpret_cast<wchar_t*>(Guard()) - length;
        std::fill(text, text + length, L'#');
        return text;
    }
    bool Crossed() const { return crossed_; }

private:
    char* Guard() const { return pages_ + page_; }
    static LONG CALLBACK OnAccessViolation(EXCEPTION_POINTERS* exception)
    {
        const EXCEPTION_RECORD& record = *exception->ExceptionRecord;
        const auto* address = reinterpret_cast<const char*>(record.ExceptionInformation[1]);
        if (record.ExceptionCode != EXCEPTION_ACCESS_VIOLATION || address < current_->Guard() ||
            address >= current_->Guard() + current_->page_) {
            return EXCEPTION_CONTINUE_SEARCH;
        }
        DWORD previous = 0;
        ::VirtualProtect(current_->Guard(), current_->page_, PAGE_READWRITE, &previous);
        current_->crossed_ = true;
        return EXCEPTION_CONTINUE_EXECUTION;
    }

    static inline PageEndText* current_ = nullptr; // the handler has no context of its own
    size_t page_ = 0;
    char* pages_ = nullptr;
    void* handler_ = nullptr;
    bool crossed_ = false;
};

struct BoundedCase {
    const wchar_t* before; // the text an append starts from (unterminated when it fills the limit); null: a copy
    const wchar_t* source;
    size_t limit;
    const wchar_t* expected;
    bool whole;
};

TEST(BoundedText, CopyAndAppendStayWithinTheLimitAndTerminate)
{
    const BoundedCase cases[] = {
        {nullptr, L"abc", 8, L"abc", true},
        {nullptr, L"abcdefg", 8, L"abcdefg", true},
        {nullptr, L"abcdefgh", 8, L"abcdefg", false},
        {nullptr, L"abc", 1, L"", false},
        {nullptr, nullptr, 8, L"", true},
        {nullptr, L"", 8, L"", true},
        {L"abc", L"\\de", 8, L"abc\\de", true},
        {L"abc\\de", L"fghij", 8, L"abc\\def", false},
        {L"abcde", L"x", 5, L"abcde", false},
    };
    PageEndText guarded;
    for (const auto& test : cases) {
        wchar_t* text = guarded.Place(test.limit);
        bool whole = false;
        if (test.before == nullptr) {
            whole = kx::BoundedCopy(text, test.limit, test.source);
        } else {
            const std::wstring before(test.before);
            std::copy(before.begin(), before.end(), text);
            if (before.size() < test.limit) {
                text[before.size()] = L'\0';
            }
            whole = kx::BoundedAppend(text, test.limit, test.source);
        }
        EXPECT_EQ(test.whole, whole) << "limit " << test.limit;
        EXPECT_EQ(std::wstring(test.expected), std::wstring(text, std::find(text, text + test.limit, L'\0')));
        EXPECT_FALSE(guarded.Crossed()) << "read or wrote past the limit " << test.limit;
    }
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
