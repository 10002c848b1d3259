#include "common/bounded_text.h"

namespace kx {

bool BoundedCopy(wchar_t* destination, std::size_t capacity, const wchar_t* source) noexcept
{
    if (destination == nullptr || capacity == 0) {
        return false;
    }
    std::size_t copied = 0;
    if (source != nullptr) {
        while (copied + 1 < capacity && source[copied] != L'\0') {
            destination[copied] = source[copied];
            ++copied;
        }
    }
    destination[copied] = L'\0';
    return source == nullptr || source[copied] == L'\0';
}

bool BoundedAppend(wchar_t* destination, std::size_t limit, const wchar_t* suffix) noexcept
{
    if (destination == nullptr) {
        return false;
    }
    std::size_t end = 0;
    while (end < limit && destination[end] != L'\0') {
        ++end;
    }
    if (end == limit) {
        return false;
    }
    return BoundedCopy(destination + end, limit - end, suffix);
}

} // namespace kx
