// Start-up services of the MinGW runtime that this program never needs,
// defined here so that their object files, and what those pull in (the
// printf engine's imports, VirtualProtect, section lookup), stay out.
#include <cmath>

extern "C" {

// Patches data imported from DLLs through "pseudo relocations". The program
// is linked with --disable-runtime-pseudo-reloc, so the linker refuses any
// import that would need one: the list is always empty.
void _pei386_runtime_relocator() {}

// Called for the C library's math errors; the runtime's version prints to
// stderr, which a GUI program does not have. 0 keeps the library's own
// handling.
int _matherr(struct _exception*) { return 0; }

#ifndef _WIN64
// The runtime's filter for exceptions nobody handles: it hands each one to
// the C signal handler set for it, and with none set, as here (the program
// sets none), to the filter that was there before, as this one does. Its
// object file brings signal() and the floating-point reset besides. The
// 64-bit runtime's file also registers the unwinding tables, and stays.
struct _EXCEPTION_POINTERS;
using ExceptionFilter = long(__stdcall*)(_EXCEPTION_POINTERS*);
ExceptionFilter __mingw_oldexcpt_handler;
long __stdcall _gnu_exception_handler(_EXCEPTION_POINTERS* exception) {
  constexpr long kContinueSearch = 0;  // EXCEPTION_CONTINUE_SEARCH
  return __mingw_oldexcpt_handler != nullptr ? __mingw_oldexcpt_handler(exception) : kContinueSearch;
}
#endif

}  // extern "C"
