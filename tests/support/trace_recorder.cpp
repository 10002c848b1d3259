#include "trace_recorder.h"

namespace {

std::vector<kxtest::RecordedTraceLine>& RecordedLines()
{
    static std::vector<kxtest::RecordedTraceLine> lines;
    return lines;
}

} // namespace

namespace kx {

// The tests' trace sink: keeps every formatted line, whichever way it was routed.
void TraceSink(const wchar_t* line, TraceRoute route) noexcept
{
    try {
        RecordedLines().push_back({line, route});
    } catch (...) {
    }
}

} // namespace kx

namespace kxtest {

void TraceRecorder::Clear()
{
    RecordedLines().clear();
}

const std::vector<RecordedTraceLine>& TraceRecorder::Lines()
{
    return RecordedLines();
}

std::vector<std::wstring> TraceRecorder::Texts()
{
    std::vector<std::wstring> texts;
    for (const auto& line : RecordedLines()) {
        texts.push_back(line.text);
    }
    return texts;
}

std::vector<std::wstring> TraceRecorder::SinkTexts()
{
    std::vector<std::wstring> texts;
    for (const auto& line : RecordedLines()) {
        if (line.route == kx::TraceRoute::ToSink) {
            texts.push_back(line.text);
        }
    }
    return texts;
}

} // namespace kxtest
