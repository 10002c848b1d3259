// std::terminate in this library means a fault of the library itself: its exceptions are all
// caught before an export returns. libstdc++'s default handler would print the exception's
// demangled type to a console that rundll32, Explorer and the device installer do not have, and
// it links a demangler and a printf engine into the DLL to do so. Defining the handler here keeps
// that code out of the link; the process ends as it did after the message, through abort().
// Other runtimes have no such handler, and this file is empty for them.
#include <cstdlib>
#include <exception>

#if defined(__GLIBCXX__)
namespace __gnu_cxx {

void __verbose_terminate_handler()
{
    std::abort();
}

} // namespace __gnu_cxx
#endif
