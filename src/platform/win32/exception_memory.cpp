// Memory for thrown exceptions, in place of libsupc++'s eh_alloc.o, whose
// emergency pool (a mutex, a free list and 64 KB taken at start-up) serves
// only when malloc fails: a program that cannot allocate a hundred bytes
// then has nothing left to do, and ends as terminate() ends it. 1.5 KB less
// in the i686 file.
//
// The header before each object is libsupc++'s __cxa_refcounted_exception;
// its size is that library's own constant, which make test reads from the
// archive the program links (tests/pe/exception_header_test.sh), so another
// toolchain version cannot slip past it. Should a later change need
// another of eh_alloc.o's functions, the archive's object comes back and the
// link fails on the duplicates.
#include <cstdlib>
#include <cstring>
#include <exception>

namespace {
constexpr std::size_t kExceptionHeader = 0x60;
}  // namespace

extern "C" void* __cxa_allocate_exception(std::size_t thrown_size) noexcept {
  void* block = std::malloc(thrown_size + kExceptionHeader);
  if (block == nullptr) std::terminate();
  std::memset(block, 0, kExceptionHeader);
  return static_cast<char*>(block) + kExceptionHeader;
}

extern "C" void __cxa_free_exception(void* object) noexcept {
  std::free(static_cast<char*>(object) - kExceptionHeader);
}
