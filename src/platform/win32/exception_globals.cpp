// The record of caught and uncaught exceptions, in place of libsupc++'s
// eh_globals.o, which keeps one per thread in emulated thread-local storage
// (emutls.o: TlsAlloc, a lock, realloc'd arrays). Hotfix.exe throws on one
// thread only: it starts no thread of its own, and the threads Windows may
// start in the process (a console control handler, the loader's workers)
// run none of its code. A program that starts a thread which may throw must
// drop this file.
//
// The layout is the C++ ABI's __cxa_eh_globals, which libsupc++'s catch and
// rethrow code reads: the newest caught exception, then the number of
// exceptions thrown and not yet caught.
namespace {
struct EhGlobals {
  void* caughtExceptions;
  unsigned int uncaughtExceptions;
};
EhGlobals eh_globals;
}  // namespace

extern "C" void* __cxa_get_globals_fast() noexcept { return &eh_globals; }
extern "C" void* __cxa_get_globals() noexcept { return &eh_globals; }

// The runtime's thread-exit hook, which runs the destructors that thread
// keys registered (tlsthrd.o, with its lock and list). emutls was their only
// user; with no keys there is nothing to run. Should anything register one
// again, tlsthrd.o comes back and the link fails on this duplicate.
extern "C" int __mingw_TLScallback(void*, unsigned long, void*) { return 1; }
