/* The start-up code that Zig 0.11 links calls main with the arguments in the ANSI code page: this
   main hands the program the command line's wide arguments and environment, as mingw-w64's
   -municode start-up code does, through wmain. A program that starts at wWinMain gets
   mingw-w64's own wmain, which calls it. */
#include <stdlib.h>
#include <wchar.h>

typedef struct {
    int newmode;
} kx_startupinfo;

int __wgetmainargs(int* argc, wchar_t*** argv, wchar_t*** environment, int expandWildcards, kx_startupinfo* startup);
int wmain(int argc, wchar_t** argv, wchar_t** environment);

int main(void)
{
    int argc = 0;
    wchar_t** argv = NULL;
    wchar_t** environment = NULL;
    kx_startupinfo startup = {0};
    if (__wgetmainargs(&argc, &argv, &environment, 0, &startup) < 0) {
        return 255;
    }
    return wmain(argc, argv, environment);
}
