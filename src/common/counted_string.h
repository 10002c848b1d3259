#pragma once

#include <windows.h>
#include <oleauto.h>

namespace kx {

// The shared holder behind a CountedString. The narrow copy is made only when asked for.
struct CountedStringHolder {
    BSTR text;
    char* narrow;
    volatile LONG references;
};

// A counted wide string: a reference to a shared holder, or no holder for the empty string.
// Copies share the holder; the last one to go frees the BSTR, the narrow copy and the holder.
// Building one raises HResultError(E_OUTOFMEMORY) when memory runs out.
class CountedString {
public:
    CountedString() noexcept = default;
    ~CountedString() { Release(); }

    CountedString(const CountedString& other) noexcept;
    CountedString& operator=(const CountedString& other) noexcept;
    CountedString(CountedString&& other) noexcept;
    CountedString& operator=(CountedString&& other) noexcept;

    // A new holder with a copy of text; a null text gives a holder whose BSTR is NULL.
    static CountedString Make(const wchar_t* text);
    // A new holder whose BSTR holds a followed by b; a length past 32 bits is out of memory.
    static CountedString Concat(const CountedString& a, const CountedString& b);

    // Replaces what this string refers to by a new holder made from text.
    void Assign(const wchar_t* text);

    // The BSTR, or NULL for the empty string.
    BSTR Bstr() const noexcept { return holder_ != nullptr ? holder_->text : nullptr; }
    // Never null: "" stands in for the empty string, so the text can go to a format directly.
    const wchar_t* Text() const noexcept;
    UINT Length() const noexcept;
    bool IsEmpty() const noexcept { return Length() == 0; }
    // The text in the system's ANSI code page, made on first use and kept with the holder.
    const char* Narrow() const;
    // How many strings share this one's holder (0 without a holder).
    LONG ReferenceCount() const noexcept;

private:
    explicit CountedString(CountedStringHolder* holder) noexcept : holder_(holder) {}
    static CountedString AdoptBstr(BSTR text);
    void Release() noexcept;

    CountedStringHolder* holder_ = nullptr;
};

} // namespace kx
