#include "platform/win32/restart_countdown.h"

#include <algorithm>

#include "platform/win32/ansi.h"
#include "platform/win32/dialog_template.h"

namespace platform::win32 {
namespace {

constexpr int kTimedOut = 32000;  // IDTIMEOUT, as MessageBoxTimeout returns it
constexpr WORD kTextId = 100;
constexpr WORD kIconId = 101;
constexpr UINT_PTR kTimerId = 1;

constexpr DialogTemplate kCountdown =
    DialogTemplate(DS_MODALFRAME | DS_CENTER | DS_SETFOREGROUND | WS_POPUP | WS_CAPTION |
                       WS_SYSMENU,
                   WS_EX_TOPMOST, 236, 84)
        .Add(DialogTemplate::kStatic, nullptr, SS_ICON, 10, 10, 21, 20, kIconId)
        .Add(DialogTemplate::kStatic, nullptr, SS_LEFT | SS_NOPREFIX, 40, 10, 186, 44, kTextId)
        .Add(DialogTemplate::kButton, nullptr, BS_PUSHBUTTON | WS_TABSTOP, 112, 62, 56, 14, IDOK)
        .Add(DialogTemplate::kButton, nullptr, BS_DEFPUSHBUTTON | WS_TABSTOP, 172, 62, 56, 14,
             IDCANCEL);

struct Countdown {
  const Text* title;
  const Text* prompt;
  const Text* ok_label;
  const Text* cancel_label;
  DWORD deadline;   // GetTickCount()
  DWORD shown = 0;  // seconds the text shows
};

// Seconds left, rounded up, from the tick count: WM_TIMER comes late under
// load, and a countdown must not run slow.
DWORD SecondsLeft(const Countdown& c) {
  const auto left = static_cast<LONG>(c.deadline - ::GetTickCount());
  return left <= 0 ? 0 : (static_cast<DWORD>(left) + 999) / 1000;
}

void ShowSeconds(HWND dialog, Countdown& c, DWORD seconds) {
  c.shown = seconds;
  const std::u16string_view prompt = *c.prompt;
  const auto at = std::min(prompt.find(u"{}"), prompt.size());
  const Text text = Concat({prompt.substr(0, at), Decimal(seconds), prompt.substr(at).substr(2)});
  ::SetWindowTextW(::GetDlgItem(dialog, kTextId), WideZ(text));
}

// One countdown at a time: its state is this one's while it is shown.
Countdown* shown_countdown = nullptr;

INT_PTR CALLBACK CountdownProc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  Countdown* c = shown_countdown;
  switch (message) {
    case WM_INITDIALOG:
      ::SetWindowTextW(dialog, WideZ(*c->title));
      ::SetWindowTextW(::GetDlgItem(dialog, IDOK), WideZ(*c->ok_label));
      ::SetWindowTextW(::GetDlgItem(dialog, IDCANCEL), WideZ(*c->cancel_label));
      ShowSeconds(dialog, *c, SecondsLeft(*c));
      ::SendMessageW(::GetDlgItem(dialog, kIconId), STM_SETICON,
                     reinterpret_cast<WPARAM>(::LoadIconW(nullptr, IDI_EXCLAMATION)), 0);
      ::SetTimer(dialog, kTimerId, 250, nullptr);
      // Enter and a stray key press keep Windows running: Annulla is the
      // default, as No is in the restart question.
      ::SendMessageW(dialog, DM_SETDEFID, IDCANCEL, 0);
      ::SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(::GetDlgItem(dialog, IDCANCEL)),
                     TRUE);
      return FALSE;  // the focus is set
    case WM_TIMER:
      if (const DWORD left = SecondsLeft(*c); left == 0) ::EndDialog(dialog, kTimedOut);
      else if (left != c->shown) ShowSeconds(dialog, *c, left);
      return TRUE;
    case WM_COMMAND:
      // Closing the box (its X, Alt+F4, Esc) comes as IDCANCEL.
      if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) ::EndDialog(dialog, LOWORD(wparam));
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

int ShowRestartCountdown(HINSTANCE instance, const Text& title, const Text& prompt, DWORD seconds,
                         const Text& ok_label, const Text& cancel_label) {
  if (seconds == 0) return kTimedOut;
  Countdown state{&title, &prompt, &ok_label, &cancel_label, ::GetTickCount() + seconds * 1000};
  shown_countdown = &state;
  // The dialog's timer dies with it (EndDialog destroys the window).
  const INT_PTR result =
      ::DialogBoxIndirectParamW(instance, kCountdown.get(), nullptr, CountdownProc, 0);
  shown_countdown = nullptr;
  return result == IDOK || result == IDCANCEL || result == kTimedOut ? static_cast<int>(result) : 0;
}

}  // namespace platform::win32
