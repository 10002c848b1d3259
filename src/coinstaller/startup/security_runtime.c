/* What a hardened DLL needs from its C runtime and that the runtimes of the Linux toolchains lack:
   Debian 12's mingw-w64 10 (x64) has no load configuration and no guard pointers, and Zig 0.11's
   stack cookie (ARM64) is a constant that nobody replaces. MSVC's runtime has all of this: the
   file is built with the Clang toolchains only (cmake/hardening.cmake).

   - __stack_chk_guard, the cookie that the stack protector's checks compare against, holds the
     default value that the Windows loader looks for through the load configuration and replaces
     with a random one when it maps the DLL, before any of its code runs.
   - __stack_chk_fail ends the process at once, as the /GS check of MSVC's runtime does: no
     message, no handler, no destructor; a smashed stack leaves nothing that may safely run.
   - The guard pointers, through which Control Flow Guard's instrumented indirect calls go, point
     at stand-ins that check nothing; a Windows that enforces CFG points them at its own checks.
     They live in the read-only .00cfg (LLD 19 merges it into .rdata): the DLL cannot change them.
   - _load_config_used, the load configuration that the linker points the image's directory at;
     the linker defines the __guard_* symbols it names (tables, counts and flags). */
#include <windows.h>

#include <stdint.h>

/* The value the loader replaces (its "default security cookie" on 64-bit Windows). */
uintptr_t __stack_chk_guard = 0x2B992DDFA232; /* NOLINT(bugprone-reserved-identifier) */

_Noreturn void __stack_chk_fail(void) /* NOLINT(bugprone-reserved-identifier) */
{
#if defined(__x86_64__)
    __asm__ volatile("int $0x29" ::"c"(FAST_FAIL_STACK_COOKIE_CHECK_FAILURE) : "memory");
#elif defined(__aarch64__)
    register unsigned int code __asm__("w0") = FAST_FAIL_STACK_COOKIE_CHECK_FAILURE;
    __asm__ volatile("brk #0xF003" ::"r"(code) : "memory");
#else
#error "x64 or ARM64 only"
#endif
    for (;;) {
    }
}

/* A Windows without CFG checks no call: the check returns, the dispatch jumps to the target,
   which the instrumented caller hands over in rax. */
static void KxGuardCheckNothing(void)
{
}
#if defined(__x86_64__)
void KxGuardDispatchDirect(void);
__asm__(".text\n"
        "KxGuardDispatchDirect:\n"
        "    jmp *%rax\n");
#endif

__attribute__((section(".00cfg"))) void* const __guard_check_icall_fptr = (void*)KxGuardCheckNothing;
#if defined(__x86_64__)
__attribute__((section(".00cfg"))) void* const __guard_dispatch_icall_fptr = (void*)KxGuardDispatchDirect;
#endif

/* The load configuration, IMAGE_LOAD_CONFIG_DIRECTORY64 as Windows documents it (ARM64 uses the
   same layout) up to the EH continuation table; the headers of both toolchains end theirs at
   SEHandlerCount. Written in assembly: GuardFlags is a 32-bit field that takes the value of a
   symbol that the linker defines (as it does the tables and counts: their addresses are the
   values), which C cannot put in a constant initializer. Fields not named are zero. */
__asm__(".section .rdata,\"dr\"\n"
        ".globl _load_config_used\n"
        ".balign 8\n"
        "_load_config_used:\n"
        "    .long 0x118\n"                  /* 0x00 Size */
        "    .fill 0x54, 1, 0\n"             /* 0x04 TimeDateStamp .. 0x50 EditList */
        "    .quad __stack_chk_guard\n"      /* 0x58 SecurityCookie */
        "    .quad 0, 0\n"                   /* 0x60 SEHandlerTable, SEHandlerCount */
        "    .quad __guard_check_icall_fptr\n" /* 0x70 GuardCFCheckFunctionPointer */
#if defined(__x86_64__)
        "    .quad __guard_dispatch_icall_fptr\n" /* 0x78 GuardCFDispatchFunctionPointer */
#else
        "    .quad 0\n"
#endif
        "    .quad __guard_fids_table\n"     /* 0x80 GuardCFFunctionTable */
        "    .quad __guard_fids_count\n"     /* 0x88 GuardCFFunctionCount */
        "    .long __guard_flags\n"          /* 0x90 GuardFlags */
        "    .fill 12, 1, 0\n"               /* 0x94 CodeIntegrity */
        "    .quad __guard_iat_table\n"      /* 0xA0 GuardAddressTakenIatEntryTable */
        "    .quad __guard_iat_count\n"      /* 0xA8 GuardAddressTakenIatEntryCount */
        "    .quad __guard_longjmp_table\n"  /* 0xB0 GuardLongJumpTargetTable */
        "    .quad __guard_longjmp_count\n"  /* 0xB8 GuardLongJumpTargetCount */
        "    .fill 0x48, 1, 0\n"             /* 0xC0 DynamicValueRelocTable .. 0x100 VolatileMetadataPointer */
        "    .quad __guard_eh_cont_table\n"  /* 0x108 GuardEHContinuationTable */
        "    .quad __guard_eh_cont_count\n"  /* 0x110 GuardEHContinuationCount */
        ".text\n");
