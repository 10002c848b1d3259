#pragma once

#include <cstddef>

namespace kx {

// Copies at most capacity - 1 characters of source and always terminates destination.
// Returns true when the whole of source fit. A null source copies the empty text.
bool BoundedCopy(wchar_t* destination, std::size_t capacity, const wchar_t* source) noexcept;

// Appends suffix so that destination stays within limit characters, terminator included;
// what does not fit is cut off. When destination has no terminator within its first limit
// characters nothing is appended. Returns true when the whole suffix was appended.
bool BoundedAppend(wchar_t* destination, std::size_t limit, const wchar_t* suffix) noexcept;

template <std::size_t Capacity>
bool BoundedCopy(wchar_t (&destination)[Capacity], const wchar_t* source) noexcept
{
    return BoundedCopy(destination, Capacity, source);
}

} // namespace kx
