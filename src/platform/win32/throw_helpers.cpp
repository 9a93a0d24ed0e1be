// The library's helpers that its headers call to throw, defined here with
// types the program's own handlers catch. libstdc++'s versions throw its
// string-carrying exceptions, whose object files pull in the library's whole
// string instantiations and its random device (RDRAND, RDSEED): a third of
// Hotfix.exe, and instructions a Pentium lacks. Should a later change call a
// helper not defined here, the library's file comes back with all of them and
// the link fails on the duplicates, which is the point.
#include <bits/functexcept.h>

#include <new>

#include "platform/failure.h"

namespace std {

// Running out of room in a string or vector is running out of memory here.
void __throw_bad_alloc() { throw std::bad_alloc(); }
void __throw_bad_array_new_length() { throw std::bad_alloc(); }
void __throw_length_error(const char*) { throw std::bad_alloc(); }

// A broken precondition of the library: a fault of the program's own.
void __throw_logic_error(const char*) { throw platform::RuntimeFailure(51, u"Internal error"); }
void __throw_bad_function_call() { throw platform::RuntimeFailure(51, u"Internal error"); }
void __throw_out_of_range_fmt(const char*, ...) {
  throw platform::RuntimeFailure(9, u"Subscript out of range");
}

}  // namespace std
