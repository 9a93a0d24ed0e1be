#include "platform/simulated/simulated_platform.h"

#include <algorithm>
#include <cstring>

#include "platform/buttons.h"
#include "platform/command_line.h"
#include "platform/failure.h"
#include "platform/simulated/cp1252.h"

namespace sim {

using platform::AnsiString;

namespace {

constexpr Long kCurrentProcess = -1;
constexpr platform::LUID kShutdownLuid{0x13, 0};
constexpr Long kKeyRead = 0x20019;
constexpr Long kKeyWriteBits = 0x00010000 /*DELETE*/ | 0x00040000 /*WRITE_DAC*/ |
                               0x00080000 /*WRITE_OWNER*/ | platform::kKeySetValue |
                               platform::kKeyCreateSubKey | platform::kKeyCreateLink;
constexpr Long kMaximumAllowed = 0x02000000;

bool IsStringType(Long type) {
  return type == platform::kRegSz || type == platform::kRegExpandSz ||
         type == platform::kRegMultiSz;
}

Text Utf16Chars(const std::vector<std::uint8_t>& data) {
  Text text;
  for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
    text += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
  }
  return text;
}

std::uint16_t Word(const std::uint8_t* at) {
  return static_cast<std::uint16_t>(at[0] | (at[1] << 8));
}

// Relative names are taken from the current folder; "." and ".." are folded
// as Windows folds them, and a device name stands for the device itself.
Text FullPathOf(const Text& file_name, const Text& current) {
  Text name = NormalizePath(file_name);
  // Windows drops trailing dots and blanks from the last name.
  while (!name.empty() && (name.back() == u'.' || name.back() == u' ') && name != u"." &&
         !name.ends_with(u"\\.") && !name.ends_with(u".."))
    name.pop_back();
  Text full;
  if (name.empty()) {
    full.clear();
  } else if (IsDeviceName(name)) {
    const auto slash = name.find_last_of(u"\\:");
    full = u"\\\\.\\" + name.substr(slash == Text::npos ? 0 : slash + 1);
    full = full.substr(0, full.find(u'.', 4));
    while (full.back() == u' ') full.pop_back();
  } else if (name.starts_with(u"\\\\") || (name.size() > 2 && name[1] == u':' && name[2] == u'\\')) {
    full = name;
  } else if (name.size() > 1 && name[1] == u':') {
    full = name.substr(0, 2) + u"\\" + name.substr(2);  // drive-relative: the root
  } else if (name[0] == u'\\') {
    full = current.substr(0, 2) + name;
  } else {
    full = current + u"\\" + name;
  }
  // Fold "." and ".." below the root ("C:\" or "\\server\share\").
  if (!full.empty() && !full.starts_with(u"\\\\.\\")) {
    std::vector<Text> parts;
    std::size_t root = 2;
    if (full.starts_with(u"\\\\")) {
      const std::size_t server_end = full.find(u'\\', 2);
      root = server_end == Text::npos ? Text::npos : full.find(u'\\', server_end + 1);
      if (root == Text::npos) root = full.size();
    }
    for (std::size_t i = root + 1; i <= full.size();) {
      std::size_t end = full.find(u'\\', i);
      if (end == Text::npos) end = full.size();
      const Text part = full.substr(i, end - i);
      if (part == u"..") {
        if (!parts.empty()) parts.pop_back();
      } else if (!part.empty() && part != u".") {
        parts.push_back(part);
      }
      i = end + 1;
    }
    Text folded = full.substr(0, root);
    for (const Text& part : parts) folded += u"\\" + part;
    if (parts.empty()) folded += u"\\";
    full = folded;
  }
  return full;
}

}  // namespace

SimulatedPlatform::SimulatedPlatform(Machine& machine) : machine_(machine) {}

bool SimulatedPlatform::FailsNow() {
  ++calls_;
  return machine_.fail_call != 0 && calls_ == machine_.fail_call;
}

void SimulatedPlatform::Record(std::string call, std::vector<std::string> args,
                               std::string result) {
  seen_.trace.push_back(TraceEvent{std::move(call), std::move(args), std::move(result)});
}

std::string SimulatedPlatform::QuoteAnsi(const AnsiString& ansi) const {
  return Quote(DecodeCp1252(ansi));
}

Long SimulatedPlatform::NewHandle() {
  const Long handle = next_handle_;
  next_handle_ += 4;
  return handle;
}

AnsiString SimulatedPlatform::ToAnsi(std::u16string_view text) const { return EncodeCp1252(text); }
Text SimulatedPlatform::FromAnsi(std::string_view ansi) const { return DecodeCp1252(ansi); }

// ---- version information -----------------------------------------------------

Long SimulatedPlatform::GetFileVersionInfoSizeA(const AnsiString& lptstrFilename,
                                                Long& lpdwHandle) {
  Long size = 0;
  if (!FailsNow()) {
    const SimFile* file = machine_.FindFile(DecodeCp1252(lptstrFilename));
    if (file && file->version_resource) {
      // Windows asks for room beyond the resource for its ANSI conversions;
      // never less than the resource itself.
      size = static_cast<Long>(file->version_resource->size() * 2);
    }
  }
  lpdwHandle = 0;
  Record("GetFileVersionInfoSizeA", {QuoteAnsi(lptstrFilename), "&handle"}, Dec(size));
  return size;
}

Long SimulatedPlatform::GetFileVersionInfoA(const AnsiString& lptstrFilename, Long dwHandle,
                                            Long dwLen, std::uint8_t* lpData) {
  Long ok = 0;
  if (!FailsNow() && dwLen > 0 && lpData != nullptr) {
    const SimFile* file = machine_.FindFile(DecodeCp1252(lptstrFilename));
    if (file && file->version_resource) {
      const auto& resource = *file->version_resource;
      const std::size_t n = std::min<std::size_t>(resource.size(), static_cast<std::size_t>(dwLen));
      std::memcpy(lpData, resource.data(), n);
      version_blocks_[lpData] = static_cast<Long>(n);
      ok = 1;
    }
  }
  Record("GetFileVersionInfoA", {QuoteAnsi(lptstrFilename), Dec(dwHandle), Dec(dwLen), "buffer"},
         Dec(ok));
  return ok;
}

Long SimulatedPlatform::VerQueryValueA(const std::uint8_t* pBlock, const AnsiString& lpSubBlock,
                                       const std::uint8_t*& lplpBuffer, Long& puLen) {
  Long ok = 0;
  Long length = 0;
  const auto block = version_blocks_.find(pBlock);
  // Only the root block is modelled; the walk never leaves the bytes copied.
  if (!FailsNow() && block != version_blocks_.end() && (lpSubBlock == "\\" || lpSubBlock.empty())) {
    const auto avail = static_cast<std::size_t>(block->second);
    std::size_t at = 6;  // wLength, wValueLength, wType, then the key
    if (avail >= at) {
      const std::size_t total = std::min<std::size_t>(Word(pBlock), avail);
      while (at + 1 < total && Word(pBlock + at) != 0) at += 2;
      at = (at + 2 + 3) & ~std::size_t{3};  // past the NUL, to a 4-byte boundary
      const std::uint16_t value_length = Word(pBlock + 2);
      if (at + value_length <= total) {
        lplpBuffer = pBlock + at;
        puLen = length = value_length;
        ok = 1;
      }
    }
  }
  Record("VerQueryValueA", {"buffer", QuoteAnsi(lpSubBlock), "&pointer", "&length"},
         Dec(ok) + " length=" + Dec(length));
  return ok;
}

void SimulatedPlatform::RtlMoveMemory(void* Destination, const void* Source, Long Length) {
  FailsNow();  // cannot fail: a bad pointer would be a crash, not a status
  std::memmove(Destination, Source, static_cast<std::size_t>(Length));
  Record("RtlMoveMemory", {"record", "pointer", Dec(Length)}, "");
}

// ---- registry -------------------------------------------------------------------

const RegistryKey* SimulatedPlatform::KeyFor(Long hKey, Long& access) const {
  static const RegistryKey kEmptyRoot;
  if (Registry::IsPredefined(hKey)) {
    access = kKeyRead;
    const RegistryKey* root = machine_.registry.FindKey(hKey, Text());
    return root ? root : &kEmptyRoot;
  }
  const auto it = keys_.find(hKey);
  if (it == keys_.end()) return nullptr;
  access = it->second.access;
  return machine_.registry.FindKey(it->second.root, it->second.path);
}

Long SimulatedPlatform::OpenKeyCommon(const char* call, Long hKey, const AnsiString& sub_key,
                                      Long access, bool explicit_access, Long& result) {
  Long status = platform::kErrorSuccess;
  Long root = hKey;
  Text base;
  if (FailsNow()) {
    status = platform::kErrorAccessDenied;
  } else if (!Registry::IsPredefined(hKey)) {
    const auto it = keys_.find(hKey);
    if (it == keys_.end()) {
      status = platform::kErrorInvalidHandle;
    } else {
      root = it->second.root;
      base = it->second.path;
    }
  }
  Long granted = 0;
  Text path = base.empty() ? DecodeCp1252(sub_key) : base + u"\\" + DecodeCp1252(sub_key);
  if (status == platform::kErrorSuccess) {
    const RegistryKey* key = machine_.registry.FindKey(root, path);
    if (key == nullptr && !(path.empty() || path == u"\\")) {
      status = platform::kErrorFileNotFound;
    } else {
      const bool may_write = key == nullptr || key->may_write;
      if (explicit_access) {
        if ((access & kKeyWriteBits) && !may_write) status = platform::kErrorAccessDenied;
        granted = access;
      } else {
        granted = kKeyRead | (may_write ? kKeyWriteBits : 0);  // MAXIMUM_ALLOWED
      }
    }
  }
  if (status == platform::kErrorSuccess) {
    result = NewHandle();
    keys_[result] = OpenKey{root, path, granted};
  }
  std::vector<std::string> args = {Hex(static_cast<std::uint32_t>(hKey)), QuoteAnsi(sub_key)};
  if (explicit_access) {
    args.push_back("0");
    args.push_back(Hex(static_cast<std::uint32_t>(access)));
  }
  args.push_back("&key");
  Record(call, std::move(args),
         Dec(status) + (status == 0 ? " key=" + Hex(static_cast<std::uint32_t>(result)) : ""));
  return status;
}

Long SimulatedPlatform::RegOpenKeyExA(Long hKey, const AnsiString& lpSubKey, Long ulOptions,
                                      Long samDesired, Long& phkResult) {
  (void)ulOptions;
  return OpenKeyCommon("RegOpenKeyExA", hKey, lpSubKey, samDesired, true, phkResult);
}

Long SimulatedPlatform::RegOpenKeyA(Long hKey, const AnsiString& lpSubKey, Long& phkResult) {
  return OpenKeyCommon("RegOpenKeyA", hKey, lpSubKey, kMaximumAllowed, false, phkResult);
}

Long SimulatedPlatform::QueryValue(Long hKey, const AnsiString& name, Long& type,
                                   std::uint8_t* data, Long& size) {
  Long access = 0;
  const RegistryKey* key = KeyFor(hKey, access);
  if (key == nullptr) return platform::kErrorInvalidHandle;
  if (!(access & platform::kKeyQueryValue)) return platform::kErrorAccessDenied;
  const auto it = key->values.find(DecodeCp1252(name));
  if (it == key->values.end()) return platform::kErrorFileNotFound;
  const RegistryValue& value = it->second;

  // Strings leave the registry through the ANSI code page, sized in ANSI bytes.
  AnsiString bytes;
  if (IsStringType(value.type)) {
    bytes = EncodeCp1252(Utf16Chars(value.data));
  } else {
    bytes.assign(value.data.begin(), value.data.end());
  }
  const auto needed = static_cast<std::uint32_t>(bytes.size());
  type = value.type;
  if (data == nullptr) {
    size = static_cast<Long>(needed);
    return platform::kErrorSuccess;
  }
  const auto room = static_cast<std::uint32_t>(size);
  if (needed > room) {
    size = static_cast<Long>(needed);
    return platform::kErrorMoreData;
  }
  std::memcpy(data, bytes.data(), needed);
  // Windows terminates a string stored without its NUL when there is room.
  if (IsStringType(value.type) && needed > 0 && needed < room && data[needed - 1] != 0) {
    data[needed] = 0;
  }
  size = static_cast<Long>(needed);
  return platform::kErrorSuccess;
}

Long SimulatedPlatform::RegQueryValueExA(Long hKey, const AnsiString& lpValueName,
                                         Long lpReserved, Long& lpType, std::uint8_t* lpData,
                                         Long& lpcbData) {
  const Long type_in = lpType;
  const Long size_in = lpcbData;
  const Long status = FailsNow() ? platform::kErrorAccessDenied
                                 : QueryValue(hKey, lpValueName, lpType, lpData, lpcbData);
  std::string result = Dec(status);
  if (status == platform::kErrorSuccess || status == platform::kErrorMoreData) {
    result += " type=" + Dec(lpType) + " cb=" + Dec(lpcbData);
  }
  Record("RegQueryValueExA",
         {Hex(static_cast<std::uint32_t>(hKey)), QuoteAnsi(lpValueName), Dec(lpReserved),
          "&type=" + Dec(type_in), lpData ? "buffer" : "NULL", "&cb=" + Dec(size_in)},
         result);
  return status;
}

Long SimulatedPlatform::RegCloseKey(Long hKey) {
  Long status = platform::kErrorSuccess;
  if (FailsNow()) {
    status = platform::kErrorInvalidHandle;
  } else if (Registry::IsPredefined(hKey)) {
    status = platform::kErrorSuccess;
  } else if (keys_.erase(hKey) == 0) {
    status = platform::kErrorInvalidHandle;
  }
  Record("RegCloseKey", {Hex(static_cast<std::uint32_t>(hKey))}, Dec(status));
  return status;
}

// ---- kernel32 -----------------------------------------------------------------------

Long SimulatedPlatform::GetVersionExA(platform::OSVERSIONINFOA& info) {
  const std::uint32_t size_in = info.dwOSVersionInfoSize;
  Long ok = 0;
  // 148 is OSVERSIONINFOA, 156 OSVERSIONINFOEXA; any other size is refused.
  if (!FailsNow() && !machine_.windows.query_fails && (size_in == 148 || size_in == 156)) {
    const WindowsVersion& w = machine_.windows;
    info.dwMajorVersion = w.major;
    info.dwMinorVersion = w.minor;
    // Windows 95, 98 and Me keep the version in the high word of the build.
    info.dwBuildNumber = w.platform_id == platform::kVerPlatformWin32Windows
                             ? (w.major & 0xFF) << 24 | (w.minor & 0xFF) << 16 | (w.build & 0xFFFF)
                             : w.build;
    info.dwPlatformId = w.platform_id;
    const std::size_t n = std::min<std::size_t>(w.service_pack.size(), sizeof info.szCSDVersion - 1);
    std::memcpy(info.szCSDVersion, w.service_pack.data(), n);
    info.szCSDVersion[n] = '\0';
    ok = 1;
  }
  Record("GetVersionExA", {"size=" + Dec(size_in)},
         Dec(ok) + (ok ? " platform=" + Dec(info.dwPlatformId) + " version=" +
                             Dec(info.dwMajorVersion) + "." + Dec(info.dwMinorVersion)
                       : ""));
  return ok;
}

// A process object lives while the process runs or anyone holds a handle to it.
bool SimulatedPlatform::ObjectHeld(Long process_id, const Process& process) const {
  if (process.kept_handle != 0 || process.behaviour.held_open_after_end) return true;
  for (const auto& [handle, opened] : process_handles_)
    if (opened.process_id == process_id) return true;
  return false;
}

// An ended process whose object nobody holds frees its identifier, and
// Windows may give it to the next process started anywhere on the machine.
void SimulatedPlatform::ReuseFreedIdentifier(Long process_id, Process& process) {
  if (process.unrelated || process.running() || ObjectHeld(process_id, process) ||
      process.behaviour.identifier_reused_for == 0)
    return;
  Process other;
  other.behaviour.lifetime = process.behaviour.identifier_reused_for;
  other.unrelated = true;
  process = other;
}

Long SimulatedPlatform::OpenProcess(Long dwDesiredAccess, Long bInheritHandle, Long dwProcessId) {
  Long handle = 0;
  const auto it = processes_.find(dwProcessId);
  if (it != processes_.end()) ReuseFreedIdentifier(it->first, it->second);
  if (!FailsNow() && it != processes_.end() && !it->second.behaviour.refuses_open) {
    Process& process = it->second;
    const bool running = process.running();
    if (running) ++process.opens;
    if (running || ObjectHeld(dwProcessId, process)) {
      handle = NewHandle();
      process_handles_[handle] = OpenedProcess{dwProcessId, running};
    }
  }
  Record("OpenProcess",
         {Hex(static_cast<std::uint32_t>(dwDesiredAccess)), Dec(bInheritHandle), Dec(dwProcessId)},
         Hex(static_cast<std::uint32_t>(handle)));
  return handle;
}

Long SimulatedPlatform::WaitForSingleObject(Long hHandle, Long dwMilliseconds) {
  Long result = platform::kWaitFailed;
  const auto it = process_handles_.find(hHandle);
  if (!FailsNow() && it != process_handles_.end()) {
    result = it->second.running ? platform::kWaitTimeout : platform::kWaitObject0;
  }
  Record("WaitForSingleObject",
         {Hex(static_cast<std::uint32_t>(hHandle)), Dec(dwMilliseconds)},
         Hex(static_cast<std::uint32_t>(result)));
  return result;
}

Long SimulatedPlatform::CloseHandle(Long hObject) {
  Long ok = 0;
  if (!FailsNow() && (process_handles_.erase(hObject) > 0 || tokens_.erase(hObject) > 0 ||
                      files_.erase(hObject) > 0))
    ok = 1;
  Record("CloseHandle", {Hex(static_cast<std::uint32_t>(hObject))}, Dec(ok));
  return ok;
}

Long SimulatedPlatform::GetCurrentProcess() {
  FailsNow();  // cannot fail, but counts, so that fail_call numbers trace positions
  Record("GetCurrentProcess", {}, Hex(static_cast<std::uint32_t>(kCurrentProcess)));
  return kCurrentProcess;
}

// ---- security and restart ------------------------------------------------------------

Long SimulatedPlatform::OpenProcessToken(Long ProcessHandle, Long DesiredAccess,
                                         Long& TokenHandle) {
  Long ok = 0;
  if (!FailsNow() && machine_.security.token_opens && ProcessHandle == kCurrentProcess) {
    TokenHandle = NewHandle();
    tokens_[TokenHandle] = true;
    ok = 1;
  }
  Record("OpenProcessToken",
         {Hex(static_cast<std::uint32_t>(ProcessHandle)), Hex(static_cast<std::uint32_t>(DesiredAccess)),
          "&token"},
         Dec(ok) + (ok ? " token=" + Hex(static_cast<std::uint32_t>(TokenHandle)) : ""));
  return ok;
}

Long SimulatedPlatform::LookupPrivilegeValueA(const AnsiString& lpSystemName,
                                              const AnsiString& lpName, platform::LUID& lpLuid) {
  Long ok = 0;
  if (!FailsNow() && lpSystemName.empty() &&
      FoldCase(DecodeCp1252(lpName)) == u"SESHUTDOWNPRIVILEGE") {
    lpLuid = kShutdownLuid;
    ok = 1;
  }
  Record("LookupPrivilegeValueA", {QuoteAnsi(lpSystemName), QuoteAnsi(lpName), "&luid"},
         Dec(ok) + (ok ? " luid=" + Hex(lpLuid.LowPart) : ""));
  return ok;
}

Long SimulatedPlatform::AdjustTokenPrivileges(Long TokenHandle, Long DisableAllPrivileges,
                                              const platform::TOKEN_PRIVILEGES& NewState,
                                              Long BufferLength,
                                              platform::TOKEN_PRIVILEGES& PreviousState,
                                              Long& ReturnLength) {
  Long ok = 0;
  const auto& entry = NewState.Privileges[0];
  if (!FailsNow() && tokens_.count(TokenHandle) && NewState.PrivilegeCount <= 1 &&
      BufferLength >= static_cast<Long>(sizeof(platform::TOKEN_PRIVILEGES))) {
    const bool was_enabled = shutdown_privilege_enabled_;
    bool changed = false;
    if (DisableAllPrivileges) {
      shutdown_privilege_enabled_ = false;
      changed = was_enabled;
    } else if (NewState.PrivilegeCount == 1 && entry.Luid.LowPart == kShutdownLuid.LowPart &&
               entry.Luid.HighPart == kShutdownLuid.HighPart &&
               machine_.security.holds_shutdown_privilege) {
      // Not held: success all the same, with nothing assigned.
      shutdown_privilege_enabled_ = (entry.Attributes & platform::kSePrivilegeEnabled) != 0;
      changed = true;
    }
    PreviousState = platform::TOKEN_PRIVILEGES{};
    PreviousState.PrivilegeCount = changed ? 1 : 0;
    if (changed) {
      PreviousState.Privileges[0].Luid = kShutdownLuid;
      PreviousState.Privileges[0].Attributes = was_enabled ? platform::kSePrivilegeEnabled : 0;
    }
    ReturnLength = changed ? 16 : 4;
    ok = 1;
  }
  Record("AdjustTokenPrivileges",
         {Hex(static_cast<std::uint32_t>(TokenHandle)), Dec(DisableAllPrivileges),
          "{count=" + Dec(NewState.PrivilegeCount) + " luid=" + Hex(entry.Luid.LowPart) +
              " attributes=" + Dec(entry.Attributes) + "}",
          Dec(BufferLength), "&previous", "&length"},
         Dec(ok));
  return ok;
}

Long SimulatedPlatform::ExitWindowsEx(Long uFlags, Long dwReason) {
  const bool nt = machine_.windows.platform_id != platform::kVerPlatformWin32Windows;
  const bool accepted = !FailsNow() && !machine_.security.refuse_restart &&
                        (!nt || shutdown_privilege_enabled_);
  seen_.restart = RestartRequest{uFlags, dwReason, shutdown_privilege_enabled_, accepted};
  seen_.order.emplace_back(Happening::kRestart, 0);
  Record("ExitWindowsEx", {Hex(static_cast<std::uint32_t>(uFlags)), Hex(static_cast<std::uint32_t>(dwReason))},
         accepted ? "1" : "0");
  return accepted ? 1 : 0;
}

// ---- interactive services ----------------------------------------------------------

Long SimulatedPlatform::MsgBox(const Text& prompt, Long buttons, const std::optional<Text>& title) {
  const Text shown_title = title.value_or(kDefaultTitle);
  const std::vector<Long> offered = platform::ButtonsOf(buttons);
  Long answer = platform::kIdOk;
  if (offered.size() > 1) {
    if (machine_.answers.empty() && machine_.enter_when_unscripted) {
      machine_.answers.push_back(AnswerEnter());
    }
    if (machine_.answers.empty()) {
      throw ScriptError("no answer scripted for the box \"" + platform::ToUtf8(shown_title) +
                        "\": " + platform::ToUtf8(prompt));
    }
    const Answer scripted = machine_.answers.front();
    machine_.answers.pop_front();
    if (scripted.button == Answer::kEnter) {
      answer = platform::DefaultButton(buttons);
    } else if (std::find(offered.begin(), offered.end(), scripted.button) != offered.end()) {
      answer = scripted.button;
    } else {
      throw ScriptError("scripted answer " + std::to_string(scripted.button) +
                        " is not a button of the box \"" + platform::ToUtf8(shown_title) + "\"");
    }
  }
  seen_.order.emplace_back(Happening::kBox, seen_.boxes.size());
  seen_.boxes.push_back(BoxShown{shown_title, prompt, buttons, answer});
  Record("MsgBox", {Quote(prompt), Dec(buttons), title ? Quote(*title) : "(default)"}, Dec(answer));
  return answer;
}

double SimulatedPlatform::Shell(const Text& pathName, Long windowStyle,
                                platform::ProgramName program) {
  const bool fails = FailsNow();
  const auto split = platform::ResolveProgram(
      pathName, program, [this](const Text& path) { return machine_.FindFile(path) != nullptr; });
  const SimFile* file = split ? machine_.FindFile(split->application) : nullptr;
  if (fails || !split || !file->program) {
    const platform::RuntimeFailure failure =
        (fails || !split) ? platform::FailureFileNotFound()
                          : platform::FailureInvalidProcedureCall();  // not a program
    Record("Shell", {Quote(pathName), Dec(windowStyle)}, "failure " + Dec(failure.number()));
    throw failure;
  }
  const Long pid = next_process_id_;
  next_process_id_ += 4;
  Process process{*file->program};
  if (machine_.program_start_keeps_handle) process.kept_handle = NewHandle();
  processes_[pid] = process;
  seen_.order.emplace_back(Happening::kStarted, seen_.started.size());
  seen_.started.push_back(
      ProgramStarted{pathName, split->application, split->arguments, windowStyle, pid});
  Record("Shell", {Quote(pathName), Dec(windowStyle)}, Dec(pid));
  return static_cast<double>(pid);
}

void SimulatedPlatform::DoEvents() { Record("DoEvents", {}, ""); }

Text SimulatedPlatform::AppPath() {
  Record("AppPath", {}, Quote(machine_.app_path));
  return machine_.app_path;
}

void SimulatedPlatform::Print(const Text& line) {
  seen_.order.emplace_back(Happening::kPrinted, seen_.printed.size());
  seen_.printed.push_back(line);
  Record("Print", {Quote(line)}, "");
}

void SimulatedPlatform::Unload() {
  seen_.unloaded = true;
  Record("Unload", {"Form1"}, "");
}

// ---- services beside the sequence ------------------------------------------------------

Long SimulatedPlatform::GetExitCodeProcess(Long dwProcessId, Long& lpExitCode) {
  Long ok = 0;
  const auto it = processes_.find(dwProcessId);
  if (!FailsNow() && it != processes_.end() && it->second.kept_handle != 0) {
    // The refused opens never count a pass, so such a program runs on.
    lpExitCode = it->second.running() ? platform::kStillActive : it->second.behaviour.exit_code;
    ok = 1;
  }
  Record("GetExitCodeProcess", {Dec(dwProcessId), "&code"},
         Dec(ok) + (ok ? " code=" + Dec(lpExitCode) : ""));
  return ok;
}

void SimulatedPlatform::CloseStartedPrograms() {
  for (auto& [pid, process] : processes_) {
    if (process.kept_handle == 0) continue;
    Record("CloseHandle", {Hex(static_cast<std::uint32_t>(process.kept_handle))}, "1");
    process.kept_handle = 0;
  }
}

Text SimulatedPlatform::StartedProgramFile(Long dwProcessId) {
  for (const auto& started : seen_.started)
    if (started.process_id == dwProcessId) return started.application;
  return Text();
}

Text SimulatedPlatform::GetCommandLine() {
  Text line = u"\"" + machine_.app_path + u"\\Hotfix.exe\"";
  if (!machine_.arguments.empty()) line += u" " + machine_.arguments;
  Record("GetCommandLine", {}, Quote(line));
  return line;
}

platform::SYSTEMTIME SimulatedPlatform::GetLocalTime() {
  // Whole milliseconds from the start, one per Windows call so far.
  platform::SYSTEMTIME t = machine_.clock;
  std::int64_t ms = t.wMilliseconds + static_cast<std::int64_t>(calls_);
  std::int64_t seconds = t.wSecond + t.wMinute * 60 + t.wHour * 3600 + ms / 1000;
  t.wMilliseconds = static_cast<std::uint16_t>(ms % 1000);
  t.wSecond = static_cast<std::uint16_t>(seconds % 60);
  t.wMinute = static_cast<std::uint16_t>(seconds / 60 % 60);
  t.wHour = static_cast<std::uint16_t>(seconds / 3600 % 24);  // a run never spans midnight
  Record("GetLocalTime", {}, "");
  return t;
}

Long SimulatedPlatform::OpenFileForAppend(const Text& path, Long& lpFileSize, Long& lpError) {
  Long handle = 0;
  const Text name = NormalizePath(path);
  const auto refused = machine_.unwritable_files.find(name);
  if (FailsNow()) {
    lpError = platform::kErrorAccessDenied;
  } else if (refused != machine_.unwritable_files.end()) {
    lpError = refused->second;
  } else if (name.empty()) {
    lpError = platform::kErrorInvalidName;
  } else if (IsDeviceName(name)) {
    lpFileSize = 0;
    handle = NewHandle();
    files_[handle] = Text();
  } else if (KindOf(name) == PathKind::kFolder) {
    lpError = platform::kErrorAccessDenied;  // as CreateFile answers for a folder
  } else {
    lpFileSize = static_cast<Long>(machine_.written_files[name].size());
    handle = NewHandle();
    files_[handle] = name;
  }
  Record("OpenFileForAppend", {Quote(path), "&size", "&error"},
         Hex(static_cast<std::uint32_t>(handle)) +
             (handle ? " size=" + Dec(lpFileSize) : " error=" + Dec(lpError)));
  return handle;
}

Long SimulatedPlatform::WriteFile(Long hFile, std::string_view bytes) {
  Long ok = 0;
  const auto it = files_.find(hFile);
  const bool refused = std::count(machine_.failing_writes.begin(), machine_.failing_writes.end(),
                                  ++writes_) != 0;
  if (!FailsNow() && !refused && it != files_.end()) {
    if (!it->second.empty()) {  // a device takes the bytes and keeps none
      machine_.written_files[it->second] += bytes;
      seen_.written[it->second] += bytes;
    }
    ok = 1;
  }
  Record("WriteFile", {Hex(static_cast<std::uint32_t>(hFile)), Dec(static_cast<std::int64_t>(bytes.size())) + " bytes"},
         Dec(ok));
  return ok;
}

PathKind SimulatedPlatform::KindOf(const Text& full_path) const {
  const Text name = NormalizePath(full_path);
  if (const auto it = machine_.path_kinds.find(name); it != machine_.path_kinds.end())
    return it->second;
  // A folder that holds a file the machine knows.
  const Text prefix = FoldCase(name) + u"\\";
  for (const auto& [path, file] : machine_.files)
    if (FoldCase(path).starts_with(prefix)) return PathKind::kFolder;
  return PathKind::kFile;
}

Long SimulatedPlatform::GetFileType(Long hFile) {
  const auto it = files_.find(hFile);
  const Long type = FailsNow() || it == files_.end() ? 0
                    : it->second.empty()             ? platform::kFileTypeChar
                                                     : platform::kFileTypeDisk;
  Record("GetFileType", {Hex(static_cast<std::uint32_t>(hFile))}, Dec(type));
  return type;
}

Long SimulatedPlatform::GetFileInformationByHandle(Long hFile,
                                                   platform::FileInformation& lpFileInformation) {
  Long ok = 0;
  const auto it = files_.find(hFile);
  if (!FailsNow() && it != files_.end() && !it->second.empty()) {
    const PathKind kind = KindOf(it->second);
    lpFileInformation.dwFileAttributes =
        0x20 /*archive*/ | (kind == PathKind::kReparsePoint ? platform::kFileAttributeReparsePoint : 0);
    lpFileInformation.nNumberOfLinks = kind == PathKind::kHardLink ? 2 : 1;
    ok = 1;
  }
  Record("GetFileInformationByHandle", {Hex(static_cast<std::uint32_t>(hFile)), "&info"},
         ok ? "1 attributes=" + Hex(lpFileInformation.dwFileAttributes) +
                  " links=" + Dec(lpFileInformation.nNumberOfLinks)
            : "0");
  return ok;
}

Long SimulatedPlatform::GetFileAttributesW(const Text& lpFileName) {
  const Text name = FullPathOf(lpFileName, CurrentFolder());
  Long attributes = platform::kInvalidFileAttributes;
  if (!FailsNow() && !name.empty()) {
    const PathKind kind = KindOf(name);
    if (kind == PathKind::kFolder) attributes = platform::kFileAttributeDirectory;
    else if (kind == PathKind::kReparsePoint) attributes = 0x20 | platform::kFileAttributeReparsePoint;
    else if (kind == PathKind::kHardLink || machine_.FindFile(name) || machine_.written_files.count(name))
      attributes = 0x20;
  }
  Record("GetFileAttributesW", {Quote(lpFileName)}, Hex(static_cast<std::uint32_t>(attributes)));
  return attributes;
}

Long SimulatedPlatform::GetFullPathNameW(const Text& lpFileName, Text& lpBuffer) {
  const Text full = FullPathOf(lpFileName, CurrentFolder());
  const bool ok = !FailsNow() && !full.empty();
  if (ok) lpBuffer = full;
  Record("GetFullPathNameW", {Quote(lpFileName), "&buffer"}, ok ? Quote(full) : "0");
  return ok ? 1 : 0;
}

Text SimulatedPlatform::CurrentFolder() const {
  return machine_.current_directory.empty() ? machine_.app_path : machine_.current_directory;
}

Text SimulatedPlatform::GetCurrentDirectoryW() {
  const Text folder = CurrentFolder();
  Record("GetCurrentDirectoryW", {}, Quote(folder));
  return folder;
}

Long SimulatedPlatform::CreateMutexW(const Text& lpName, Long& lpError) {
  Long handle = 0;
  if (FailsNow()) {
    lpError = platform::kErrorNotEnoughMemory;
  } else if (machine_.mutex_error != 0) {
    lpError = machine_.mutex_error;
  } else if (machine_.other_copy == OtherCopy::kOtherAccount) {
    lpError = platform::kErrorAccessDenied;
  } else {
    handle = mutex_ = NewHandle();
    lpError = machine_.other_copy == OtherCopy::kRunning ? platform::kErrorAlreadyExists : 0;
  }
  Record("CreateMutexW", {"NULL", "FALSE", Quote(lpName)},
         Hex(static_cast<std::uint32_t>(handle)) + " error=" + Dec(lpError));
  return handle;
}

Long SimulatedPlatform::GetProcessWindowStationFlags(Long& lpFlags) {
  const bool ok = !FailsNow();
  if (ok) lpFlags = machine_.visible_desktop ? platform::kWsfVisible : 0;
  Record("GetProcessWindowStationFlags", {"&flags"}, ok ? "1 flags=" + Dec(lpFlags) : "0");
  return ok ? 1 : 0;
}

Long SimulatedPlatform::ShowProgress(const Text& caption, const Text& heading, const Text& step) {
  const bool ok = machine_.visible_desktop && !FailsNow();
  if (ok) {
    progress_open_ = true;
    seen_.order.emplace_back(Happening::kProgress, seen_.progress.size());
    seen_.progress.push_back(ProgressShown{caption, heading, step});
  }
  Record("ShowProgress", {Quote(caption), Quote(heading), Quote(step)}, ok ? "1" : "0");
  return ok ? 1 : 0;
}

void SimulatedPlatform::CloseProgress() {
  if (progress_open_) {
    progress_open_ = false;
    seen_.order.emplace_back(Happening::kProgress, seen_.progress.size());
    seen_.progress.push_back(ProgressShown{{}, {}, {}, true});
  }
  Record("CloseProgress", {}, "");
}

// Answered like a box from the script: ok or yes is Riavvia ora, cancel, no
// or Enter (its default button) is Annulla, and no answer left lets the
// time run out.
Long SimulatedPlatform::RestartCountdown(const Text& title, const Text& prompt, Long seconds,
                                         const Text& ok_label, const Text& cancel_label) {
  Long answer = platform::kIdTimeout;
  if (!machine_.visible_desktop || FailsNow()) {
    answer = 0;
  } else if (seconds > 0 && !machine_.answers.empty()) {
    const Answer scripted = machine_.answers.front();
    machine_.answers.pop_front();
    if (scripted.button == platform::kIdOk || scripted.button == platform::kIdYes)
      answer = platform::kIdOk;
    else if (scripted.button != platform::kIdTimeout)
      answer = platform::kIdCancel;
  }
  if (answer != 0 && seconds > 0) {
    seen_.order.emplace_back(Happening::kCountdown, seen_.countdowns.size());
    seen_.countdowns.push_back(CountdownShown{title, prompt, seconds, answer});
  }
  Record("RestartCountdown",
         {Quote(title), Quote(prompt), Dec(seconds), Quote(ok_label), Quote(cancel_label)},
         Dec(answer));
  return answer;
}

// No clock here: a sleep on a running program lasts until it has ended.
Long SimulatedPlatform::WaitForStartedProgramOrMessage(Long dwProcessId, Long dwMilliseconds) {
  Long result = platform::kWaitTimeout;
  const auto it = processes_.find(dwProcessId);
  if (it != processes_.end() && it->second.kept_handle != 0 && !it->second.unrelated) {
    Process& process = it->second;
    process.opens = std::max(process.opens, process.behaviour.lifetime);
    result = platform::kWaitObject0;
  }
  Record("WaitForStartedProgramOrMessage", {Dec(dwProcessId), Dec(dwMilliseconds)}, Dec(result));
  return result;
}

void SimulatedPlatform::Sleep(Long dwMilliseconds) {
  seen_.slept_ms += dwMilliseconds;
  Record("Sleep", {Dec(dwMilliseconds)}, "");
}

Text SimulatedPlatform::GetComputerNameW() {
  Record("GetComputerNameW", {}, Quote(machine_.computer_name));
  return machine_.computer_name;
}

Text SimulatedPlatform::GetUserNameW() {
  Record("GetUserNameW", {}, Quote(machine_.user_name));
  return machine_.user_name;
}

void SimulatedPlatform::DoEnd(Long exitCode) {
  seen_.exit_code = exitCode;
  seen_.handles_open_at_end = keys_.size() + process_handles_.size() + files_.size();
  for (const auto& [handle, open] : tokens_) seen_.handles_open_at_end += open ? 1 : 0;
  for (const auto& [pid, process] : processes_) seen_.handles_open_at_end += process.kept_handle ? 1 : 0;
  Record("End", {Dec(exitCode)}, "");
  throw platform::EndProgram{exitCode};
}

}  // namespace sim
