// The simulated machine: what a Windows computer holds that the hotfix looks
// at, and the answers its user will give. A test or a scenario builds one;
// SimulatedPlatform runs the program against it.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <unordered_map>
#include <optional>
#include <string>
#include <vector>

#include "payload/pinned.h"
#include "platform/text.h"
#include "platform/win_types.h"

namespace sim {

using platform::Long;
using platform::Text;

// Windows compares names of keys, values and files without regard to case.
Text FoldCase(std::u16string_view text);
char16_t FoldChar(char16_t c);
struct CaseInsensitiveLess {
  using is_transparent = void;
  bool operator()(std::u16string_view a, std::u16string_view b) const;
};

// ---- registry --------------------------------------------------------------

struct RegistryValue {
  Long type = platform::kRegNone;
  std::vector<std::uint8_t> data;  // as Windows stores it: strings in UTF-16LE
};

// A key's values in the order they were set. A flat list for the handful of
// values most keys hold; a key that grows past kIndexFrom values gets an
// index by name too, so that loading an export with tens of thousands of
// values under one key stays linear.
class ValueList {
 public:
  using Entry = std::pair<Text, RegistryValue>;
  using iterator = std::vector<Entry>::iterator;
  using const_iterator = std::vector<Entry>::const_iterator;

  iterator find(std::u16string_view name);
  const_iterator find(std::u16string_view name) const;
  const RegistryValue& at(std::u16string_view name) const;  // throws std::out_of_range
  RegistryValue& operator[](const Text& name);              // adds an empty value
  void insert_or_assign(const Text& name, RegistryValue value);
  std::size_t erase(std::u16string_view name);

  iterator begin() { return entries_.begin(); }
  iterator end() { return entries_.end(); }
  const_iterator begin() const { return entries_.begin(); }
  const_iterator end() const { return entries_.end(); }
  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }

 private:
  static constexpr std::size_t kIndexFrom = 16;
  std::size_t Position(std::u16string_view name) const;  // size() when absent
  void Reindex();

  std::vector<Entry> entries_;
  std::unordered_map<Text, std::size_t> index_;  // folded name -> position, once large
};

struct RegistryKey {
  ValueList values;
  bool may_write = true;  // false: opening for write access is refused (5)
};

// Keys are named by their path below the root, "\"-separated; the root is
// one of the predefined keys. Creating a key creates its parents. A tree of
// names, so that a key costs its own name and a lookup its path's length.
class Registry {
 public:
  RegistryKey& CreateKey(Long root, const Text& path);
  RegistryKey* FindKey(Long root, const Text& path);
  const RegistryKey* FindKey(Long root, const Text& path) const;
  void DeleteKey(Long root, const Text& path);  // with its subkeys

  // Values, stored as Windows stores them.
  void SetValue(Long root, const Text& path, const Text& name, RegistryValue value);
  void SetString(Long root, const Text& path, const Text& name, const Text& text,
                 Long type = platform::kRegSz, bool with_nul = true);
  void SetDword(Long root, const Text& path, const Text& name, std::uint32_t number);
  void DeleteValue(Long root, const Text& path, const Text& name);

  static bool IsPredefined(Long root);

 private:
  struct Node {
    RegistryKey key;
    std::map<Text, Node, CaseInsensitiveLess> children;
  };
  Node* Find(Long root, const Text& path);
  std::map<std::uint32_t, Node> roots_;
};

// ---- files and programs ----------------------------------------------------

// A file that can be started. It runs for `lifetime` passes of a waiting
// caller: its first `lifetime` opens find it running, later ones ended.
struct ProgramBehaviour {
  int lifetime = 0;
  bool held_open_after_end = false;  // another program keeps its process object
  bool refuses_open = false;         // opening it is denied although it runs
  Long exit_code = 0;                // what it ends with
  // Once it has ended and nobody holds its process object, Windows gives its
  // identifier to an unrelated program started then, which runs for this
  // many passes. 0: nothing is started then.
  int identifier_reused_for = 0;
};

// What a name in the file system can be besides a plain file.
enum class PathKind {
  kFile,
  kFolder,
  kHardLink,      // a file with a second name elsewhere
  kReparsePoint,  // a junction or symbolic link
};

struct SimFile {
  std::optional<std::vector<std::uint8_t>> version_resource;  // VS_VERSIONINFO bytes
  std::optional<ProgramBehaviour> program;                    // startable
  std::string contents;  // what reading the file gives (a program's bytes)
};

// Names Windows opens as devices wherever they stand in a path: NUL, CON,
// AUX, PRN, COM1 to COM9, LPT1 to LPT9, with or without an extension.
bool IsDeviceName(std::u16string_view path);

// ---- the rest of Windows -----------------------------------------------------

struct WindowsVersion {
  std::uint32_t platform_id = platform::kVerPlatformWin32Nt;
  std::uint32_t major = 5;
  std::uint32_t minor = 1;
  std::uint32_t build = 2600;
  std::string service_pack = "Service Pack 3";
  bool query_fails = false;
};

// Names Windows knows, as --windows and scenarios spell them.
std::optional<WindowsVersion> WindowsVersionNamed(std::string_view name);

struct Security {
  bool token_opens = true;
  bool holds_shutdown_privilege = true;  // present (disabled) in the token
  bool refuse_restart = false;           // ExitWindowsEx refuses even so
};

// Another copy of the program running when this one starts: it holds the
// program's mutex. Made by the same account the mutex opens (183, already
// exists); made by another (SYSTEM under a deployment tool) it refuses
// this copy (5, access denied).
enum class OtherCopy { kNone, kRunning, kOtherAccount };

// How the user answers a box: a button code, or Enter (the default button).
struct Answer {
  static constexpr Long kEnter = -1;
  Long button = kEnter;
};
Answer AnswerYes();
Answer AnswerNo();
Answer AnswerEnter();

struct Machine {
  Text app_path = u"C:\\Hotfix";  // the program's folder, no trailing separator
  Registry registry;
  std::map<Text, SimFile, CaseInsensitiveLess> files;  // full paths
  WindowsVersion windows;
  // The user's and the system's UI language: which language of a file's
  // version resource Windows gives (English US unless told otherwise).
  std::uint16_t ui_language = 0x0409;
  Security security;
  std::deque<Answer> answers;  // for boxes that offer a choice, in order
  // With no scripted answer left: press Enter (the default button) rather
  // than fail the run. For ad hoc use; tests leave it off.
  bool enter_when_unscripted = false;

  // 0: nothing fails. N: the N-th Windows call (program start included)
  // fails the way Windows would fail it.
  int fail_call = 0;

  // What follows the program's name on its command line.
  Text arguments;
  // The program start keeps each started program's process handle until the
  // end, as Hotfix.exe does; false models a program start that closes it at
  // once.
  bool program_start_keeps_handle = true;
  // The local time at the start; the simulated clock moves on a millisecond
  // per Windows call.
  platform::SYSTEMTIME clock{2026, 12, 1, 7, 9, 0, 0, 0};
  // Files the program appended to (its log), by full path, and files that
  // cannot be opened for writing, with the Windows error.
  std::map<Text, std::string, CaseInsensitiveLess> written_files;
  std::map<Text, Long, CaseInsensitiveLess> unwritable_files;
  // Names that are not plain files (folders, links), by full path.
  std::map<Text, PathKind, CaseInsensitiveLess> path_kinds;
  // The installers' record the simulated program file carries: a pinned
  // build's sizes and SHA-256, or pinned 0.
  payload::PinnedInstallers pinned{};
  // The current folder the program was started in; empty: its own folder,
  // as after a double-click.
  Text current_directory;
  OtherCopy other_copy = OtherCopy::kNone;
  // Non-zero: creating the program's mutex fails with this Windows error
  // (161 where the Global namespace is unknown, as on Windows NT 4.0).
  Long mutex_error = 0;
  // The WriteFile calls, counted from 1, that fail (a full disk, a share
  // gone away).
  std::vector<int> failing_writes;
  // False: the session's window station has no visible desktop (a service
  // session, as under a deployment tool running as SYSTEM).
  bool visible_desktop = true;
  Text computer_name = u"XPDESK";
  Text user_name = u"Administrator";

  void AddProgram(const Text& path, ProgramBehaviour behaviour = {});
  void AddVersionedFile(const Text& path, std::vector<std::uint8_t> version_resource);
  const SimFile* FindFile(const Text& path) const;
};

// A path as Windows would compare it: "/" read as "\", repeated separators
// folded. Case is left alone; lookups ignore it.
Text NormalizePath(std::u16string_view path);

}  // namespace sim
