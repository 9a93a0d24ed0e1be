// Two start-up services of the MinGW runtime that this program never needs,
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

}  // extern "C"
