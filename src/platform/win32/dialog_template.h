// In-memory dialog templates (DLGTEMPLATE and DLGITEMTEMPLATE), built while
// compiling: the program's own windows are laid out and given the shell's
// font by the dialog manager in user32, with no resource, no GDI call and no
// code of their own. Their texts are set when they are created.
#pragma once

#include "platform/win32/windows_h.h"

namespace platform::win32 {

class DialogTemplate {
 public:
  static constexpr WORD kButton = 0x0080;
  static constexpr WORD kStatic = 0x0082;

  // Dialog units; "MS Shell Dlg" 8 pt. An empty class is the dialog class #32770.
  constexpr DialogTemplate(DWORD style, DWORD ex_style, short cx, short cy,
                           const wchar_t* window_class = L"") {
    PutLong(style | DS_SETFONT);
    PutLong(ex_style);
    Put(0);  // items, counted as they are added
    Put(0), Put(0), Put(static_cast<WORD>(cx)), Put(static_cast<WORD>(cy));
    Put(0);  // no menu
    PutText(window_class);
    Put(0);  // no title yet
    Put(8);
    PutText(L"MS Shell Dlg");
  }

  // A control without text, of a predefined class (kButton, kStatic) when
  // window_class is null, else of that registered class.
  constexpr DialogTemplate& Add(WORD predefined_class, const wchar_t* window_class, DWORD style,
                                short x, short y, short cx, short cy, WORD id,
                                DWORD ex_style = 0) {
    if (size_ % 2 != 0) Put(0);  // each item starts on a DWORD boundary
    ++words_[4];
    PutLong(style | WS_CHILD | WS_VISIBLE);
    PutLong(ex_style);
    Put(static_cast<WORD>(x)), Put(static_cast<WORD>(y));
    Put(static_cast<WORD>(cx)), Put(static_cast<WORD>(cy)), Put(id);
    if (window_class == nullptr) Put(0xFFFF), Put(predefined_class);
    else PutText(window_class);
    Put(0);  // no text yet
    Put(0);  // no creation data
    return *this;
  }

  const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_); }

 private:
  // A template that outgrows this fails to compile (index out of bounds).
  static constexpr unsigned kWords = 112;
  constexpr void Put(WORD word) { words_[size_++] = word; }
  constexpr void PutLong(DWORD value) { Put(LOWORD(value)), Put(HIWORD(value)); }
  constexpr void PutText(const wchar_t* text) {
    do Put(*text); while (*text++ != 0);
  }

  alignas(DWORD) WORD words_[kWords] = {};
  unsigned size_ = 0;
};

}  // namespace platform::win32
