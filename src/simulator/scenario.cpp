#include "simulator/scenario.h"

#include <charconv>
#include <fstream>
#include <iterator>
#include <toml++/toml.h>

#include "platform/host_path.h"
#include "platform/simulated/input_error.h"
#include "platform/simulated/pe_version.h"
#include "platform/simulated/reg_file.h"
#include "platform/simulated/version_resource.h"

namespace simulator {
namespace {

using platform::Text;

[[noreturn]] void Fail(const std::string& where, const std::string& what) {
  throw sim::InputError(where + ": " + what);
}

std::string Where(const std::filesystem::path& file, const toml::node& node) {
  return platform::Utf8Name(file) + ":" + std::to_string(node.source().begin.line);
}

Text TextOf(const toml::node& node, const std::string& where) {
  const auto* s = node.as_string();
  if (!s) Fail(where, "expected a string");
  return platform::FromUtf8(s->get());
}

std::int64_t IntOf(const toml::node& node, const std::string& where, std::int64_t lo, std::int64_t hi) {
  const auto* i = node.as_integer();
  if (!i || i->get() < lo || i->get() > hi)
    Fail(where, "expected a whole number from " + std::to_string(lo) + " to " + std::to_string(hi));
  return i->get();
}

void ApplyWindows(const toml::node& node, Scenario& s, const std::string& where) {
  if (const auto* name = node.as_string()) {
    const auto version = sim::WindowsVersionNamed(name->get());
    if (!version) Fail(where, "unknown Windows \"" + name->get() + "\"");
    s.machine.windows = *version;
    s.windows_name = name->get();
    return;
  }
  const auto* table = node.as_table();
  if (!table) Fail(where, "windows: a name (winxp, win2k, ...) or a table");
  sim::WindowsVersion& w = s.machine.windows;
  for (const auto& [key, value] : *table) {
    const std::string k(key.str());
    if (k == "platform") w.platform_id = static_cast<std::uint32_t>(IntOf(value, where, 0, 0xFFFFFFFF));
    else if (k == "major") w.major = static_cast<std::uint32_t>(IntOf(value, where, 0, 0xFFFFFFFF));
    else if (k == "minor") w.minor = static_cast<std::uint32_t>(IntOf(value, where, 0, 0xFFFFFFFF));
    else if (k == "build") w.build = static_cast<std::uint32_t>(IntOf(value, where, 0, 0xFFFFFFFF));
    else if (k == "service_pack") w.service_pack = platform::ToUtf8(TextOf(value, where));
    else if (k == "query_fails") w.query_fails = value.value_or(false);
    else Fail(where, "unknown windows setting \"" + k + "\"");
  }
}

sim::ProgramBehaviour BehaviourOf(const toml::node& node, const std::string& where) {
  sim::ProgramBehaviour b;
  const auto* table = node.as_table();
  if (!table)
    Fail(where, "a program: { runs_for = N, held_open = false, refuses_open = false, exit_code = 0 }");
  for (const auto& [key, value] : *table) {
    const std::string k(key.str());
    if (k == "runs_for") b.lifetime = static_cast<int>(IntOf(value, where, 0, 1000000));
    else if (k == "held_open") b.held_open_after_end = value.value_or(false);
    else if (k == "refuses_open") b.refuses_open = value.value_or(false);
    else if (k == "exit_code") b.exit_code = static_cast<platform::Long>(
        IntOf(value, where, -2147483648LL, 4294967295LL));
    else if (k != "path") Fail(where, "unknown program setting \"" + k + "\"");
  }
  return b;
}

std::uint32_t PackedVersion(const std::string& text, const std::string& where, int parts,
                            std::uint32_t* low) {
  std::vector<std::uint16_t> numbers;
  const char* p = text.data();
  const char* end = p + text.size();
  while (p <= end) {
    std::uint16_t n = 0;
    const auto [next, ec] = std::from_chars(p, end, n);
    if (ec != std::errc()) Fail(where, "bad version \"" + text + "\" (parts are 0 to 65535)");
    numbers.push_back(n);
    if (next == end) break;
    if (*next != '.') Fail(where, "bad version \"" + text + "\"");
    p = next + 1;
  }
  if (static_cast<int>(numbers.size()) != parts)
    Fail(where, "version \"" + text + "\" needs " + std::to_string(parts) + " parts");
  if (low) *low = static_cast<std::uint32_t>(numbers[2]) << 16 | numbers[3];
  return static_cast<std::uint32_t>(numbers[0]) << 16 | numbers[1];
}

void AddFile(const toml::table& file, const std::filesystem::path& dir, Scenario& s,
             const std::string& where) {
  const auto* path_node = file.get("path");
  if (!path_node) Fail(where, "a file needs a path");
  const Text path = TextOf(*path_node, where);
  if (const auto* pe = file.get("pe")) {
    AddFileFromPe(s.machine, path, dir / platform::HostPath(platform::ToUtf8(TextOf(*pe, where))));
    return;
  }
  const auto* version = file.get("version");
  if (!version) {
    s.machine.files[sim::NormalizePath(path)];  // a file without version information
    return;
  }
  const std::string v = platform::ToUtf8(TextOf(*version, where));
  std::uint32_t ls = 0;
  platform::VS_FIXEDFILEINFO info = sim::FixedFileInfo(0, 0, 0, 0);
  info.dwFileVersionMS = PackedVersion(v, where, 4, &ls);
  info.dwFileVersionLS = ls;
  info.dwProductVersionMS = info.dwFileVersionMS;
  info.dwProductVersionLS = ls;
  std::uint16_t value_length = 52;
  for (const auto& [key, value] : file) {
    const std::string k(key.str());
    if (k == "path" || k == "version") continue;
    if (k == "product_version") {
      info.dwProductVersionMS = PackedVersion(platform::ToUtf8(TextOf(value, where)), where, 4, &ls);
      info.dwProductVersionLS = ls;
    } else if (k == "struc_version") {
      info.dwStrucVersion = PackedVersion(platform::ToUtf8(TextOf(value, where)), where, 2, nullptr);
    } else if (k == "flags") {
      info.dwFileFlags = static_cast<std::uint32_t>(IntOf(value, where, 0, 0xFFFFFFFF));
    } else if (k == "os") {
      info.dwFileOS = static_cast<std::uint32_t>(IntOf(value, where, 0, 0xFFFFFFFF));
    } else if (k == "type") {
      info.dwFileType = static_cast<std::uint32_t>(IntOf(value, where, 0, 0xFFFFFFFF));
    } else if (k == "subtype") {
      info.dwFileSubtype = static_cast<std::uint32_t>(IntOf(value, where, 0, 0xFFFFFFFF));
    } else if (k == "value_length") {
      value_length = static_cast<std::uint16_t>(IntOf(value, where, 0, 52));
    } else {
      Fail(where, "unknown file setting \"" + k + "\"");
    }
  }
  s.machine.AddVersionedFile(path, sim::MakeVersionResource(info, value_length));
}

std::vector<Text> TextList(const toml::node& node, const std::string& where) {
  const auto* array = node.as_array();
  if (!array) Fail(where, "expected a list of strings");
  std::vector<Text> out;
  for (const auto& item : *array) out.push_back(TextOf(item, where));
  return out;
}

void ReadExpectation(const toml::table& table, Scenario& s, const std::string& where) {
  for (const auto& [key, value] : table) {
    const std::string k(key.str());
    if (k == "exit_code") s.expect.exit_code = static_cast<int>(IntOf(value, where, 0, 65535));
    else if (k == "boxes") s.expect.box_titles = TextList(value, where);
    else if (k == "started") s.expect.started = TextList(value, where);
    else if (k == "restart") s.expect.restart = value.value_or(false);
    else Fail(where, "unknown expectation \"" + k + "\"");
  }
}

}  // namespace

std::vector<std::uint8_t> VersionResourceFor(const std::string& version, const std::string& where) {
  std::uint32_t ls = 0;
  const std::uint32_t ms = PackedVersion(version, where, 4, &ls);
  return sim::MakeVersionResource(sim::FixedFileInfo(static_cast<std::uint16_t>(ms >> 16),
                                                     static_cast<std::uint16_t>(ms & 0xFFFF),
                                                     static_cast<std::uint16_t>(ls >> 16),
                                                     static_cast<std::uint16_t>(ls & 0xFFFF)));
}

Scenario LoadScenario(const std::filesystem::path& dir) {
  const std::filesystem::path file = dir / "scenario.toml";
  Scenario s;
  s.name = platform::Utf8Name(dir.filename());
  if (s.name.empty()) s.name = platform::Utf8Name(dir.parent_path().filename());
  s.windows_name = "winxp";

  toml::table doc;
  try {
    // Read by its wide name on Windows: toml++ would open it by the ANSI one.
    std::ifstream in(file, std::ios::binary);
    if (!in) throw sim::InputError(platform::Utf8Name(file) + ": cannot open the file");
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    doc = toml::parse(text, platform::Utf8Name(file));
  } catch (const toml::parse_error& e) {
    throw sim::InputError(platform::Utf8Name(file) + ":" + std::to_string(e.source().begin.line) + ": " +
                          std::string(e.description()));
  }
  if (std::filesystem::exists(dir / "machine.reg"))
    sim::LoadRegFile(platform::Utf8Name(dir / "machine.reg"), s.machine.registry, &s.reg_warnings);

  // First: the version resources of the files depend on it.
  if (const auto* language = doc.get("ui_language"))
    s.machine.ui_language =
        static_cast<std::uint16_t>(IntOf(*language, Where(file, *language), 1, 0xFFFF));

  std::vector<std::pair<Text, sim::ProgramBehaviour>> installers = {
      {u"40517.exe", {}}, {u"40517-2.exe", {}}};
  const toml::node* pinned = nullptr;  // applied once the installers are in their folder
  for (const auto& [key, value] : doc) {
    const std::string k(key.str());
    const std::string where = Where(file, value);
    if (k == "description") {
      s.description = platform::ToUtf8(TextOf(value, where));
    } else if (k == "simulated_only") {
      s.simulated_only = value.value_or(false);
    } else if (k == "windows") {
      ApplyWindows(value, s, where);
    } else if (k == "ui_language") {  // read above
    } else if (k == "args") {
      s.machine.arguments = TextOf(value, where);
    } else if (k == "program_folder") {
      s.machine.app_path = TextOf(value, where);
    } else if (k == "current_folder") {
      s.machine.current_directory = TextOf(value, where);
    } else if (k == "another_copy") {
      s.machine.other_copy = ParseOtherCopy(platform::ToUtf8(TextOf(value, where)), where);
    } else if (k == "visible_desktop") {
      const auto* flag = value.as_boolean();
      if (!flag) Fail(where, "visible_desktop: true or false");
      s.machine.visible_desktop = flag->get();
    } else if (k == "paths") {
      const auto* array = value.as_array();
      if (!array) Fail(where, "paths: a list of [[paths]] tables with path and kind");
      for (const auto& item : *array) {
        const auto* table = item.as_table();
        const std::string at = Where(file, item);
        if (!table || !table->get("path") || !table->get("kind"))
          Fail(at, "a path needs a path and a kind");
        s.machine.path_kinds[sim::NormalizePath(TextOf(*table->get("path"), at))] =
            ParsePathKind(platform::ToUtf8(TextOf(*table->get("kind"), at)), at);
      }
    } else if (k == "answers") {
      for (const Text& a : TextList(value, where))
        s.machine.answers.push_back(ParseAnswer(platform::ToUtf8(a), where));
    } else if (k == "installers") {
      const auto* table = value.as_table();
      if (!table) Fail(where, "installers: a table of file name = { runs_for = N } or false");
      installers.clear();
      for (const auto& [name, setting] : *table) {
        if (const auto* present = setting.as_boolean()) {
          if (!present->get()) continue;  // name = false: the file is missing
          installers.emplace_back(platform::FromUtf8(name.str()), sim::ProgramBehaviour{});
        } else {
          installers.emplace_back(platform::FromUtf8(name.str()), BehaviourOf(setting, Where(file, setting)));
        }
      }
    } else if (k == "files") {
      const auto* array = value.as_array();
      if (!array) Fail(where, "files: a list of [[files]] tables");
      for (const auto& item : *array) {
        const auto* table = item.as_table();
        if (!table) Fail(where, "files: each entry is a table");
        AddFile(*table, dir, s, Where(file, item));
      }
    } else if (k == "programs") {
      const auto* array = value.as_array();
      if (!array) Fail(where, "programs: a list of [[programs]] tables");
      for (const auto& item : *array) {
        const auto* table = item.as_table();
        const std::string at = Where(file, item);
        if (!table || !table->get("path")) Fail(at, "a program needs a path");
        s.machine.AddProgram(TextOf(*table->get("path"), at), BehaviourOf(item, at));
      }
    } else if (k == "security") {
      const auto* table = value.as_table();
      if (!table) Fail(where, "security: a table");
      for (const auto& [name, setting] : *table) {
        const std::string n(name.str());
        if (n == "token_opens") s.machine.security.token_opens = setting.value_or(true);
        else if (n == "holds_shutdown_privilege") s.machine.security.holds_shutdown_privilege = setting.value_or(true);
        else if (n == "refuse_restart") s.machine.security.refuse_restart = setting.value_or(false);
        else Fail(where, "unknown security setting \"" + n + "\"");
      }
    } else if (k == "payload") {
      pinned = &value;
    } else if (k == "expect") {
      const auto* table = value.as_table();
      if (!table) Fail(where, "expect: a table");
      ReadExpectation(*table, s, where);
    } else {
      Fail(where, "unknown setting \"" + k + "\"");
    }
  }
  for (const auto& [name, behaviour] : installers) {
    s.machine.AddProgram(s.machine.app_path + u"\\" + name, behaviour);
  }
  if (pinned) ApplyPayload(*pinned, file, dir, s.machine);
  return s;
}

}  // namespace simulator
