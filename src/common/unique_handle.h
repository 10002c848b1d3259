#pragma once

#include <windows.h>
#include <oleauto.h>
#include <winnetwk.h>

namespace kx {

// One owner for one Windows handle; the traits say what "no handle" is and how to close one.
template <typename Traits>
class unique_any {
public:
    using pointer = typename Traits::pointer;

    unique_any() noexcept = default;
    explicit unique_any(pointer value) noexcept : value_(value) {}
    ~unique_any() { reset(); }

    unique_any(unique_any&& other) noexcept : value_(other.release()) {}
    unique_any& operator=(unique_any&& other) noexcept
    {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    unique_any(const unique_any&) = delete;
    unique_any& operator=(const unique_any&) = delete;

    pointer get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != Traits::invalid(); }

    // Closes what is held and hands out the slot for an API to fill.
    pointer* put() noexcept
    {
        reset();
        return &value_;
    }

    pointer release() noexcept
    {
        pointer value = value_;
        value_ = Traits::invalid();
        return value;
    }

    void reset(pointer value = Traits::invalid()) noexcept
    {
        if (value_ != Traits::invalid()) {
            Traits::close(value_);
        }
        value_ = value;
    }

private:
    pointer value_ = Traits::invalid();
};

template <typename T, auto CloseFunction>
struct null_handle_traits {
    using pointer = T;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer value) noexcept { CloseFunction(value); }
};

// For the handles whose "no handle" is INVALID_HANDLE_VALUE (files, searches, SetupAPI lists).
template <typename T, auto CloseFunction>
struct invalid_value_traits {
    using pointer = T;
    static pointer invalid() noexcept { return static_cast<pointer>(INVALID_HANDLE_VALUE); }
    static void close(pointer value) noexcept { CloseFunction(value); }
};

inline void FreeProcessHeapBlock(void* block) noexcept
{
    ::HeapFree(::GetProcessHeap(), 0, block);
}

using unique_hkey = unique_any<null_handle_traits<HKEY, &::RegCloseKey>>;
using unique_bstr = unique_any<null_handle_traits<BSTR, &::SysFreeString>>;
using unique_handle = unique_any<null_handle_traits<HANDLE, &::CloseHandle>>;
using unique_heap_block = unique_any<null_handle_traits<void*, &FreeProcessHeapBlock>>;
using unique_wnet_enum = unique_any<null_handle_traits<HANDLE, &::WNetCloseEnum>>;
using unique_hwnd = unique_any<null_handle_traits<HWND, &::DestroyWindow>>;
using unique_hfile = unique_any<invalid_value_traits<HANDLE, &::CloseHandle>>;

} // namespace kx
