// boxbot: runs a program and plays the person in front of its message boxes.
//
//   boxbot.exe --log <file> [--answers yes,no,enter,ok,...] [--timeout-ms N] [--watch]
//              [--desktop STATION\DESKTOP] -- <program> [args...]
//
// --desktop starts the program on that desktop (STARTUPINFO.lpDesktop), as
// a service starts programs in its own window station; its boxes are then
// out of this robot's sight, and a program that shows one runs into the
// time limit.
//
// With --watch every box is read and logged (answer "person", nothing
// pressed) and left for someone at the screen to answer.
//
// The words after "--" are joined into the program's command line, quoted
// only where a word has blanks or quotes. Every dialog box (class #32770) of
// that process is read once it is visible, then answered with the next
// scripted answer: yes, no, ok, cancel, abort, retry, ignore click that
// button; enter presses the Enter key in the box, which picks whatever the
// box has as its default; wait presses nothing (a box that closes itself).
// A box with only OK and no answer left gets OK. A dialog without buttons
// (a progress window) is no box: it is logged whenever what it shows
// changes and it can be read, and never answered; one that closes before it
// could be read is no fault.
//
// A box is answered only once it has been read whole: a title, a text (a
// message box's, or else a dialog's static texts) and labelled buttons,
// every part of it answering its messages. Under load (and
// under software emulation) a box's thread may not answer in time; the box is
// then read again until the time limit. A box still unread then is never
// answered: it is logged as unreadable and the program is killed.
//
// Log (records as in log_line.h; <tick> is GetTickCount(), the stub's clock):
//   start      <tick> <pid> <command line>
//   box        <tick> <title> <text> <buttons> <default> <focus> <icon> <owner> <answer> <pressed>
//   window     <tick> <title> <text>      a dialog without buttons, as it shows now
//   unscripted <tick> <title>             no answer left; the default was pressed
//   mismatch   <tick> <answer> <title>    the box lacks that button; default pressed
//   exit       <tick> <exit status>
//   unreadable <tick> <what was missing>  a box never read whole; not answered
//   timeout    <tick>                     the program was killed
//   error      <message>
// <buttons> is "label=id" left to right, comma separated, labels without the
// & mnemonic marks; <default> and <focus> are labels (empty if none);
// <icon> is hand, question, exclamation, asterisk, none or unknown;
// <owner> is none or window; <answer> is the scripted word, auto-ok or
// unscripted; <pressed> is the clicked label or enter.
// Exit status: 0 all went as scripted, 2 unscripted or mismatched box,
// 3 timeout, 4 bad usage or the program did not start, 5 a box could not be
// read (and so was not answered) within the time limit.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "log_line.h"

namespace {

constexpr DWORD kPollMs = 25;
// One attempt to read a part; a part not read is read again on the next pass.
constexpr UINT kSendTimeoutMs = 2000;

struct Options {
  std::wstring log;
  std::vector<std::wstring> answers;
  DWORD timeout_ms = 60000;
  bool watch = false;
  std::wstring desktop;
  std::wstring command;
};

struct Button {
  HWND hwnd = nullptr;
  int id = 0;
  LONG left = 0;
  std::wstring label;
};

struct Box {
  std::wstring title;
  std::wstring text;
  std::vector<Button> buttons;
  int default_id = 0;
  HWND focus = nullptr;
  std::wstring icon = L"none";
  bool owned = false;
  std::vector<std::wstring> unanswered;  // parts whose messages timed out
  std::wstring other_text;  // a dialog's other static texts, line by line
};

std::wstring quote(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
  std::wstring out = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, L'\\');
  return out + L"\"";
}

std::vector<std::wstring> split(const std::wstring& list) {
  std::vector<std::wstring> out;
  size_t begin = 0;
  while (begin <= list.size() && !list.empty()) {
    size_t end = list.find(L',', begin);
    if (end == std::wstring::npos) end = list.size();
    out.push_back(list.substr(begin, end - begin));
    begin = end + 1;
  }
  return out;
}

bool parse(int argc, wchar_t** argv, Options& options) {
  int i = 1;
  for (; i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (arg == L"--") break;
    if (arg == L"--watch") {
      options.watch = true;
      continue;
    }
    if (i + 1 >= argc) return false;
    if (arg == L"--log") options.log = argv[++i];
    else if (arg == L"--answers") options.answers = split(argv[++i]);
    else if (arg == L"--timeout-ms") options.timeout_ms = std::wcstoul(argv[++i], nullptr, 10);
    else if (arg == L"--desktop") options.desktop = argv[++i];
    else return false;
  }
  for (++i; i < argc; ++i) {
    if (!options.command.empty()) options.command += L' ';
    options.command += quote(argv[i]);
  }
  return !options.log.empty() && !options.command.empty();
}

// False when the window did not answer in time: its text is then unknown,
// which is not the same as empty.
bool window_text(HWND hwnd, std::wstring& out) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &length))
    return false;
  // Room to spare: a text that grows between the two messages (a window
  // changing its step) still comes whole.
  std::wstring text(length + 1 + 1024, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                           SMTO_NORMAL, kSendTimeoutMs, &copied))
    return false;
  text.resize(copied);
  out = text;
  return true;
}

std::wstring class_name(HWND hwnd) {
  wchar_t name[64] = {};
  GetClassNameW(hwnd, name, 64);
  return name;
}

// "&Yes" is shown as Yes with Y underlined; "&&" is a literal ampersand.
std::wstring without_mnemonics(const std::wstring& label) {
  std::wstring out;
  for (size_t i = 0; i < label.size(); ++i) {
    if (label[i] == L'&' && i + 1 < label.size()) ++i;
    out += label[i];
  }
  return out;
}

std::wstring icon_name(HICON icon) {
  if (icon == nullptr) return L"none";
  const struct {
    LPCWSTR id;
    const wchar_t* name;
  } known[] = {{IDI_HAND, L"hand"},
               {IDI_QUESTION, L"question"},
               {IDI_EXCLAMATION, L"exclamation"},
               {IDI_ASTERISK, L"asterisk"}};
  for (const auto& entry : known)
    if (LoadIconW(nullptr, entry.id) == icon) return entry.name;
  return L"unknown";
}

BOOL CALLBACK collect_child(HWND child, LPARAM param) {
  auto& box = *reinterpret_cast<Box*>(param);
  const std::wstring kind = class_name(child);
  const int id = GetDlgCtrlID(child);
  if (!IsWindowVisible(child)) return TRUE;
  if (lstrcmpiW(kind.c_str(), L"Button") == 0) {
    RECT rect{};
    GetWindowRect(child, &rect);
    std::wstring label;
    if (!window_text(child, label)) box.unanswered.push_back(L"button " + std::to_wstring(id));
    box.buttons.push_back({child, id, rect.left, without_mnemonics(label)});
    if (box.default_id == 0 && (GetWindowLongW(child, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON)
      box.default_id = id;
  } else if (lstrcmpiW(kind.c_str(), L"Static") == 0) {
    if (id == 0xFFFF) {
      if (!window_text(child, box.text)) box.unanswered.push_back(L"text");
    } else if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
      DWORD_PTR icon = 0;
      if (!SendMessageTimeoutW(child, STM_GETICON, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &icon))
        box.unanswered.push_back(L"icon");
      box.icon = icon_name(reinterpret_cast<HICON>(icon));
    } else {
      std::wstring line;
      if (!window_text(child, line)) box.unanswered.push_back(L"static " + std::to_wstring(id));
      else if (!line.empty()) box.other_text += (box.other_text.empty() ? L"" : L"\n") + line;
    }
  }
  return TRUE;
}

const Button* find_button(const Box& box, int id) {
  for (const auto& button : box.buttons)
    if (button.id == id) return &button;
  return nullptr;
}

Box read_box(HWND dialog) {
  Box box;
  if (!window_text(dialog, box.title)) box.unanswered.push_back(L"title");
  box.owned = GetWindow(dialog, GW_OWNER) != nullptr;
  EnumChildWindows(dialog, collect_child, reinterpret_cast<LPARAM>(&box));
  // A dialog of a program's own has no message box text (static 0xFFFF);
  // what it says is in its other static controls.
  if (box.text.empty()) box.text = box.other_text;
  std::stable_sort(box.buttons.begin(), box.buttons.end(),
                   [](const Button& a, const Button& b) { return a.left < b.left; });
  // The button drawn as default is what a person sees. DM_GETDEFID is only
  // a fallback: Wine's message box answers with its template's IDOK even
  // when the box has no OK button.
  DWORD_PTR def = 0;
  if (box.default_id == 0 &&
      SendMessageTimeoutW(dialog, DM_GETDEFID, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &def) &&
      HIWORD(def) == DC_HASDEFID && find_button(box, LOWORD(def)) != nullptr)
    box.default_id = LOWORD(def);
  GUITHREADINFO gui{};
  gui.cbSize = sizeof gui;
  if (GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &gui) &&
      (gui.hwndFocus == dialog || IsChild(dialog, gui.hwndFocus)))
    box.focus = gui.hwndFocus;
  return box;
}

// What keeps a person from reading the box whole; empty when nothing does.
std::wstring missing_parts(const Box& box) {
  std::wstring missing;
  const auto add = [&](const std::wstring& part) {
    missing += (missing.empty() ? L"" : L", ") + part;
  };
  for (const auto& part : box.unanswered) add(part + L" did not answer");
  if (box.title.empty()) add(L"no title");
  if (box.text.empty()) add(L"no text");
  if (box.buttons.empty()) add(L"no button");
  for (const auto& button : box.buttons)
    if (button.label.empty()) add(L"button " + std::to_wstring(button.id) + L" has no label");
  return missing;
}

std::wstring label_of(const Box& box, int id) {
  const Button* button = find_button(box, id);
  return button != nullptr ? button->label : L"";
}

std::wstring focus_label(const Box& box) {
  for (const auto& button : box.buttons)
    if (button.hwnd == box.focus) return button.label;
  return L"";
}

std::wstring button_list(const Box& box) {
  std::wstring buttons;
  for (const auto& button : box.buttons) {
    if (!buttons.empty()) buttons += L',';
    buttons += button.label + L'=' + std::to_wstring(button.id);
  }
  return buttons;
}

int button_id(const std::wstring& answer) {
  const struct {
    const wchar_t* word;
    int id;
  } words[] = {{L"ok", IDOK},         {L"cancel", IDCANCEL}, {L"abort", IDABORT},
               {L"retry", IDRETRY},   {L"ignore", IDIGNORE}, {L"yes", IDYES},
               {L"no", IDNO},         {L"tryagain", 10},     {L"continue", 11}};
  for (const auto& entry : words)
    if (answer == entry.word) return entry.id;
  return 0;
}

void click(HWND dialog, const Button& button) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button.id, BN_CLICKED),
               reinterpret_cast<LPARAM>(button.hwnd));
}

// What the Enter key does: the key goes to the focused control and the
// dialog's own message loop decides which button that means.
void press_enter(HWND dialog, HWND focus) {
  HWND target = focus != nullptr ? focus : dialog;
  PostMessageW(target, WM_KEYDOWN, VK_RETURN, 0x001C0001);
  PostMessageW(target, WM_KEYUP, VK_RETURN, static_cast<LPARAM>(0xC01C0001u));
}

class Bot {
 public:
  explicit Bot(Options options) : options_(std::move(options)) {}

  int run() {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    std::wstring desktop = options_.desktop;
    if (!desktop.empty()) startup.lpDesktop = desktop.data();
    PROCESS_INFORMATION process{};
    std::wstring command = options_.command;
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
      log({L"error", L"CreateProcess failed: " + std::to_wstring(GetLastError())});
      return 4;
    }
    CloseHandle(process.hThread);
    pid_ = process.dwProcessId;
    const DWORD started = GetTickCount();
    log({L"start", tick(), std::to_wstring(pid_), options_.command});

    int status = 0;
    for (;;) {
      const DWORD wait = WaitForSingleObject(process.hProcess, kPollMs);
      if (wait == WAIT_OBJECT_0) {
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        log({L"exit", tick(), std::to_wstring(code)});
        status = unreadable_ ? 5 : failed_ ? 2 : 0;
        break;
      }
      if (GetTickCount() - started > options_.timeout_ms) {
        for (const auto& entry : unread_) {
          unreadable_ = true;
          log({L"unreadable", tick(), entry.second});
        }
        TerminateProcess(process.hProcess, 1);
        // TerminateProcess only asks; the program must be gone before this
        // one ends, or it would outlive its case.
        if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0)
          log({L"error", L"the program did not end within 10 s of being killed"});
        log({L"timeout", tick()});
        status = unreadable_ ? 5 : 3;
        break;
      }
      scan();
    }
    CloseHandle(process.hProcess);
    return status;
  }

 private:
  static std::wstring tick() { return std::to_wstring(GetTickCount()); }

  void log(const std::vector<std::wstring>& fields) { logline::append(options_.log, fields); }

  static BOOL CALLBACK collect_dialog(HWND hwnd, LPARAM param) {
    auto& bot = *reinterpret_cast<Bot*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == bot.pid_ && IsWindowVisible(hwnd) && class_name(hwnd) == L"#32770")
      bot.found_.push_back(hwnd);
    return TRUE;
  }

  // A box is answered once, on the first pass that reads it whole; until
  // then it is read again on every pass.
  void scan() {
    found_.clear();
    EnumWindows(collect_dialog, reinterpret_cast<LPARAM>(this));
    for (auto it = seen_.begin(); it != seen_.end();)
      it = IsWindow(*it) ? std::next(it) : seen_.erase(it);
    for (auto it = unread_.begin(); it != unread_.end();) {
      if (IsWindow(it->first)) {
        ++it;
        continue;
      }
      unreadable_ = true;
      log({L"unreadable", tick(), L"closed before it was read whole: " + it->second});
      it = unread_.erase(it);
    }
    for (HWND dialog : found_) {
      if (seen_.count(dialog) != 0) continue;
      const Box box = read_box(dialog);
      // No button, none to press: a window that asks nothing (buttons are
      // found by their class, whether or not the window answers). It is
      // logged once it can be read, and may close before that: nobody had
      // to answer it.
      if (box.buttons.empty()) {
        std::wstring& shown = windows_[dialog];
        const std::wstring now = box.title + L'\n' + box.text;
        if (box.unanswered.empty() && !box.title.empty() && now != shown) {
          log({L"window", tick(), box.title, box.text});
          shown = now;
        }
        continue;
      }
      const std::wstring missing = missing_parts(box);
      if (!missing.empty()) {
        unread_[dialog] = missing;
        continue;
      }
      unread_.erase(dialog);
      seen_.insert(dialog);
      answer(dialog, box);
    }
  }

  void answer(HWND dialog, const Box& box) {
    std::wstring word;
    if (options_.watch) {
      log({L"box", tick(), box.title, box.text, button_list(box), label_of(box, box.default_id),
           focus_label(box), box.icon, box.owned ? L"window" : L"none", L"person", L""});
      return;
    }
    if (next_ < options_.answers.size()) {
      word = options_.answers[next_++];
    } else if (box.buttons.size() == 1 && box.buttons[0].id == IDOK) {
      word = L"auto-ok";
    } else {
      word = L"unscripted";
      failed_ = true;
      log({L"unscripted", tick(), box.title});
    }

    std::wstring pressed;
    const Button* target = nullptr;
    if (word == L"enter") {
      pressed = L"enter";
    } else if (word == L"wait") {
    } else if (word == L"auto-ok") {
      target = &box.buttons[0];
    } else if (word == L"unscripted") {
      target = find_button(box, box.default_id);
    } else {
      target = find_button(box, button_id(word));
      if (target == nullptr) {
        failed_ = true;
        log({L"mismatch", tick(), word, box.title});
        target = find_button(box, box.default_id);
      }
    }
    if (target != nullptr) pressed = target->label;

    log({L"box", tick(), box.title, box.text, button_list(box), label_of(box, box.default_id),
         focus_label(box), box.icon, box.owned ? L"window" : L"none", word, pressed});

    if (word == L"enter") press_enter(dialog, box.focus);
    else if (target != nullptr) click(dialog, *target);
    else if (word != L"wait") press_enter(dialog, box.focus);
  }

  Options options_;
  DWORD pid_ = 0;
  size_t next_ = 0;
  bool failed_ = false;
  bool unreadable_ = false;
  std::vector<HWND> found_;
  std::set<HWND> seen_;                     // read whole and answered
  std::map<HWND, std::wstring> unread_;  // shown, not yet read whole: what is missing
  std::map<HWND, std::wstring> windows_;  // dialogs without buttons: what they showed last
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Options options;
  if (!parse(argc, argv, options)) {
    std::fputws(L"usage: boxbot --log <file> [--answers a,b,...] [--timeout-ms N] [--watch] -- "
                L"<program> "
                L"[args...]\n",
                stderr);
    return 4;
  }
  return Bot(std::move(options)).run();
}
