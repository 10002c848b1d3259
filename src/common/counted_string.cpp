#include "common/counted_string.h"

#include "common/hresult_error.h"
#include "common/unique_handle.h"

#include <climits>

namespace kx {

namespace {

CountedStringHolder* NewHolder()
{
    void* block = ::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(CountedStringHolder));
    if (block == nullptr) {
        ThrowOutOfMemory();
    }
    auto* holder = static_cast<CountedStringHolder*>(block);
    holder->references = 1;
    return holder;
}

char* MakeNarrowCopy(BSTR text)
{
    const int wideLength = static_cast<int>(::SysStringLen(text));
    const int bytes =
        wideLength == 0 ? 0 : ::WideCharToMultiByte(CP_ACP, 0, text, wideLength, nullptr, 0, nullptr, nullptr);
    if (wideLength != 0 && bytes == 0) {
        ThrowLastError();
    }
    unique_heap_block copy(::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, static_cast<SIZE_T>(bytes) + 1));
    if (!copy) {
        ThrowOutOfMemory();
    }
    if (bytes != 0 && ::WideCharToMultiByte(CP_ACP, 0, text, wideLength, static_cast<char*>(copy.get()), bytes, nullptr,
                                            nullptr) == 0) {
        ThrowLastError();
    }
    return static_cast<char*>(copy.release());
}

} // namespace

CountedString::CountedString(const CountedString& other) noexcept : holder_(other.holder_)
{
    if (holder_ != nullptr) {
        ::InterlockedIncrement(&holder_->references);
    }
}

CountedString& CountedString::operator=(const CountedString& other) noexcept
{
    CountedString copy(other);
    *this = static_cast<CountedString&&>(copy);
    return *this;
}

CountedString::CountedString(CountedString&& other) noexcept : holder_(other.holder_)
{
    other.holder_ = nullptr;
}

CountedString& CountedString::operator=(CountedString&& other) noexcept
{
    if (this != &other) {
        Release();
        holder_ = other.holder_;
        other.holder_ = nullptr;
    }
    return *this;
}

CountedString CountedString::AdoptBstr(BSTR text)
{
    unique_bstr owned(text);
    CountedString result(NewHolder());
    result.holder_->text = owned.release();
    return result;
}

CountedString CountedString::Make(const wchar_t* text)
{
    CountedString result(NewHolder());
    if (text != nullptr) {
        result.holder_->text = ::SysAllocString(text);
        if (result.holder_->text == nullptr) {
            ThrowOutOfMemory();
        }
    }
    return result;
}

CountedString CountedString::Concat(const CountedString& a, const CountedString& b)
{
    const ULONGLONG total = static_cast<ULONGLONG>(a.Length()) + b.Length();
    if (total > UINT_MAX / sizeof(wchar_t)) {
        ThrowOutOfMemory();
    }
    if (total == 0) {
        return AdoptBstr(nullptr);
    }
    BSTR joined = ::SysAllocStringLen(nullptr, static_cast<UINT>(total));
    if (joined == nullptr) {
        ThrowOutOfMemory();
    }
    if (a.Length() != 0) {
        ::CopyMemory(joined, a.Bstr(), a.Length() * sizeof(wchar_t));
    }
    if (b.Length() != 0) {
        ::CopyMemory(joined + a.Length(), b.Bstr(), b.Length() * sizeof(wchar_t));
    }
    joined[total] = L'\0';
    return AdoptBstr(joined);
}

void CountedString::Assign(const wchar_t* text)
{
    CountedString replacement = Make(text);
    *this = static_cast<CountedString&&>(replacement);
}

const wchar_t* CountedString::Text() const noexcept
{
    BSTR text = Bstr();
    return text != nullptr ? text : L"";
}

UINT CountedString::Length() const noexcept
{
    return ::SysStringLen(Bstr());
}

const char* CountedString::Narrow() const
{
    if (holder_ == nullptr) {
        return "";
    }
    if (holder_->narrow == nullptr) {
        holder_->narrow = MakeNarrowCopy(holder_->text);
    }
    return holder_->narrow;
}

LONG CountedString::ReferenceCount() const noexcept
{
    return holder_ != nullptr ? holder_->references : 0;
}

void CountedString::Release() noexcept
{
    CountedStringHolder* holder = holder_;
    holder_ = nullptr;
    if (holder != nullptr && ::InterlockedDecrement(&holder->references) == 0) {
        ::SysFreeString(holder->text);
        if (holder->narrow != nullptr) {
            ::HeapFree(::GetProcessHeap(), 0, holder->narrow);
        }
        ::HeapFree(::GetProcessHeap(), 0, holder);
    }
}

} // namespace kx
