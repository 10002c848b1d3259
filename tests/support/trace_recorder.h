#pragma once

#include "common/trace.h"

#include <string>
#include <vector>

namespace kxtest {

struct RecordedTraceLine {
    std::wstring text;
    kx::TraceRoute route;
};

// Every line the code under test formats, in order, since the last Clear().
class TraceRecorder {
public:
    static void Clear();
    static const std::vector<RecordedTraceLine>& Lines();
    // The texts alone, for comparing a whole sequence at once.
    static std::vector<std::wstring> Texts();
    static std::vector<std::wstring> SinkTexts();
};

} // namespace kxtest
