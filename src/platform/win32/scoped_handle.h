// Move-only owners for the Windows objects this realisation opens itself.
// Moving into an owner closes what it held before.
#pragma once

#include "platform/win32/windows_h.h"

#include <utility>

namespace platform::win32 {

template <typename Traits>
class ScopedObject {
 public:
  using Type = typename Traits::Type;
  ScopedObject() = default;
  explicit ScopedObject(Type object) : object_(object) {}
  ~ScopedObject() { Close(); }
  ScopedObject(ScopedObject&& other) noexcept : object_(other.release()) {}
  ScopedObject& operator=(ScopedObject&& other) noexcept {
    if (this != &other) {
      Close();
      object_ = other.release();
    }
    return *this;
  }
  ScopedObject(const ScopedObject&) = delete;
  ScopedObject& operator=(const ScopedObject&) = delete;

  Type get() const { return object_; }
  bool valid() const { return Traits::IsValid(object_); }
  Type release() { return std::exchange(object_, Traits::Invalid()); }

 private:
  void Close() {
    if (Traits::IsValid(object_)) Traits::Close(object_);
    object_ = Traits::Invalid();
  }
  Type object_ = Traits::Invalid();
};

struct KernelHandleTraits {
  using Type = HANDLE;
  // Process and thread handles are NULL on failure, never INVALID_HANDLE_VALUE.
  static bool IsValid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static HANDLE Invalid() { return nullptr; }
  static void Close(HANDLE h) { ::CloseHandle(h); }
};

struct ModuleTraits {
  using Type = HMODULE;
  static bool IsValid(HMODULE m) { return m != nullptr; }
  static HMODULE Invalid() { return nullptr; }
  static void Close(HMODULE m) { ::FreeLibrary(m); }
};

using ScopedHandle = ScopedObject<KernelHandleTraits>;
using ScopedModule = ScopedObject<ModuleTraits>;

}  // namespace platform::win32
