// std::terminate in this library means a fault of the library itself: its exceptions are all
// caught before an export returns. The GNU and LLVM runtimes' default handlers would print the
// exception's demangled type to a console that rundll32, Explorer and the device installer do not
// have, and they link a demangler and a printf engine into the DLL to do so. Defining the handler
// here keeps that code out of the link; the process ends as it did after the message, through
// abort(). Other runtimes have no such handler, and this file is empty for them.
#include <cstdlib>
#include <exception>

#if defined(__GLIBCXX__)
namespace __gnu_cxx {

void __verbose_terminate_handler()
{
    std::abort();
}

} // namespace __gnu_cxx
#elif defined(_LIBCPP_VERSION)
// libc++abi (the ARM64 build's runtime) keeps its handlers in these three variables, defined in
// the same archive member as its printing handlers; nothing else of that member is referred to,
// so defining all three here leaves the member out. The unexpected handler is still called when
// a function breaks its throw() list.
extern "C" {
void (*__cxa_terminate_handler)() = std::abort; // NOLINT(bugprone-reserved-identifier)
void (*__cxa_unexpected_handler)() = std::terminate; // NOLINT(bugprone-reserved-identifier)
void (*__cxa_new_handler)() = nullptr; // NOLINT(bugprone-reserved-identifier)

// The runtime's own fatal errors (a pure virtual call, a corrupt exception, a static guard gone
// wrong) go through this function, whose default prints the message with fprintf and so brings
// mingw-w64's printf engine along. They end the process as quietly as std::terminate does.
[[noreturn]] void abort_message(const char* /*format*/, ...)
{
    std::abort();
}
}
#endif
