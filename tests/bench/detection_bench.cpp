// Times the standard-share detection over full share lists. Not a test: run it through
// scripts/bench_detection.sh and read the time per call.
#include "common/bounded_text.h"
#include "localization/server_language.h"

#include <windows.h>
#include <shlwapi.h>

#include <cstdio>
#include <cstdlib>
#include <vector>
// After the standard headers: its deprecation macros rename the C string functions they name.
#include <strsafe.h>

namespace {

struct NamedSlot {
    kx::ShareNameSlot name = {};
};

using ShareList = std::vector<NamedSlot>;

ShareList OrdinaryNames(std::size_t count)
{
    ShareList list(count);
    for (std::size_t i = 0; i < count; ++i) {
        ::StringCchPrintfW(list[i].name, kx::ShareNameLength, L"share%03u", static_cast<unsigned>(i));
    }
    return list;
}

void PutName(ShareList& list, std::size_t position, const wchar_t* name)
{
    kx::BoundedCopy(list[position].name, name);
}

// For comparison: the same search with a fresh copy of each catalogue text per comparison.
int CopyingDetection(const ShareList& list)
{
    const kx::LocalizedText* kinds[] = {&kx::ShareDocuments, &kx::SharePictures, &kx::ShareMusic, &kx::ShareVideos,
                                        &kx::ShareRecordedTV};
    bool found[5] = {};
    UINT count = 0;
    int result = -1;
    for (std::size_t position = 0; position < list.size() && count < 5; ++position) {
        for (int kind = 0; kind < 5; ++kind) {
            for (int language = 0; !found[kind] && language < kx::LanguageCount; ++language) {
                if (::StrCmpW(list[position].name, kx::GetLocalizedText(*kinds[kind], language).Text()) == 0) {
                    found[kind] = true;
                    ++count;
                    result = language;
                }
            }
        }
    }
    return result;
}

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void Measure(const char* what, const ShareList& list, int calls)
{
    LARGE_INTEGER copyingStart;
    LARGE_INTEGER copyingEnd;
    ::QueryPerformanceCounter(&copyingStart);
    for (int call = 0; call < calls; ++call) {
        CopyingDetection(list);
    }
    ::QueryPerformanceCounter(&copyingEnd);
    LARGE_INTEGER start;
    LARGE_INTEGER end;
    int result = 0;
    ::QueryPerformanceCounter(&start);
    for (int call = 0; call < calls; ++call) {
        UINT found = 0;
        result = kx::GetServerLangIndex(&list[0].name, static_cast<int>(list.size()), found);
    }
    ::QueryPerformanceCounter(&end);
    std::printf("%-44s result %2d  %9.1f us per call (copying each text: %9.1f us; %d calls)\n", what, result,
                Seconds(start, end) * 1e6 / calls, Seconds(copyingStart, copyingEnd) * 1e6 / calls, calls);
}

} // namespace

int main(int argc, char** argv)
{
    const int calls = argc > 1 ? std::atoi(argv[1]) : 200;
    ShareList none = OrdinaryNames(256);
    Measure("256 names, no standard share", none, calls);

    ShareList lastFive = OrdinaryNames(256);
    const wchar_t* german[] = {L"Dokumente", L"Bilder", L"Musik", L"Videos", L"TV-Aufzeichnung"};
    for (std::size_t i = 0; i < 5; ++i) {
        PutName(lastFive, 251 + i, german[i]);
    }
    Measure("256 names, five standard shares at the end", lastFive, calls);

    ShareList firstFive = OrdinaryNames(256);
    for (std::size_t i = 0; i < 5; ++i) {
        PutName(firstFive, i, german[i]);
    }
    Measure("256 names, five standard shares first", firstFive, calls);
    return 0;
}
