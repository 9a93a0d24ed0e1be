#include "simulator/machine_inputs.h"

#include <fstream>
#include <iterator>

#include "platform/simulated/input_error.h"
#include "platform/simulated/pe_version.h"
#include "platform/host_path.h"

namespace simulator {
namespace {

using platform::Text;

[[noreturn]] void Fail(const std::string& where, const std::string& what) {
  throw sim::InputError(where + ": " + what);
}

std::string Where(const std::filesystem::path& file, const toml::node& node) {
  return platform::Utf8Name(file) + ":" + std::to_string(node.source().begin.line);
}

constexpr const char* kInstallerNames[payload::kPinnedInstallers] = {"40517.exe", "40517-2.exe"};
constexpr char kPayloadForm[] =
    "[payload] names '40517.exe' and '40517-2.exe', each = { pinned_size = BYTES, "
    "pinned_sha256 = '64 hexadecimal digits', holds = 'FILE of the scenario folder' or 'missing' }";

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string StringOf(const toml::table& entry, const char* key, const std::string& where) {
  const auto* value = entry.get_as<std::string>(key);
  if (!value) Fail(where, std::string(key) + ": a string is needed (" + kPayloadForm + ")");
  return value->get();
}

void ReadDigest(const std::string& hex, std::uint8_t* digest, const std::string& where) {
  if (hex.size() != 2 * payload::kDigestSize)
    Fail(where, "pinned_sha256: 64 hexadecimal digits, not " + std::to_string(hex.size()) +
                    " characters");
  for (std::size_t i = 0; i < hex.size(); ++i) {
    const int digit = HexDigit(hex[i]);
    if (digit < 0)
      Fail(where, "pinned_sha256: \"" + hex.substr(i, 1) + "\" (character " + std::to_string(i + 1) +
                      ") is not a hexadecimal digit");
    digest[i / 2] = static_cast<std::uint8_t>(i % 2 ? digest[i / 2] | digit : digit << 4);
  }
}

// The bytes of a file of the scenario folder; nullopt for 'missing'.
std::optional<std::string> HeldBytes(const std::string& holds, const std::filesystem::path& dir,
                                     const std::string& where) {
  if (holds == "missing") return std::nullopt;
  const std::filesystem::path local = platform::HostPath(holds);
  if (holds.empty() || local.has_root_path())
    Fail(where, "holds: a file of the scenario folder, or 'missing'; not \"" + holds + "\"");
  const std::filesystem::path full = dir / local;
  std::error_code error;
  std::ifstream in(full, std::ios::binary);
  if (!std::filesystem::is_regular_file(full, error) || !in)
    Fail(where, "holds: cannot read \"" + platform::Utf8Name(full) +
                    "\" (a file of the scenario folder, or 'missing')");
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

sim::Machine BaseMachine() {
  sim::Machine m;
  m.app_path = u"C:\\Hotfix";
  m.AddProgram(m.app_path + u"\\40517.exe");
  m.AddProgram(m.app_path + u"\\40517-2.exe");
  return m;
}

void AddFileFromPe(sim::Machine& machine, const Text& windows_path,
                   const std::filesystem::path& local_file) {
  auto resource = sim::ReadVersionResource(platform::Utf8Name(local_file), machine.ui_language);
  sim::SimFile& file = machine.files[sim::NormalizePath(windows_path)];
  file.version_resource = std::move(resource);  // nullopt: a file without version information
}

sim::Answer ParseAnswer(const std::string& word, const std::string& where) {
  if (word == "yes") return sim::AnswerYes();
  if (word == "no") return sim::AnswerNo();
  if (word == "enter") return sim::AnswerEnter();
  if (word == "ok") return sim::Answer{platform::kIdOk};
  if (word == "cancel") return sim::Answer{platform::kIdCancel};
  if (word == "wait") return sim::Answer{platform::kIdTimeout};  // a countdown left to run out
  Fail(where, "unknown answer \"" + word + "\" (yes, no, enter, ok, cancel, wait)");
}

sim::OtherCopy ParseOtherCopy(const std::string& word, const std::string& where) {
  if (word == "running") return sim::OtherCopy::kRunning;
  if (word == "other-account") return sim::OtherCopy::kOtherAccount;
  if (word == "none") return sim::OtherCopy::kNone;
  Fail(where, "unknown \"" + word + "\" (running, other-account, none)");
}

sim::PathKind ParsePathKind(const std::string& word, const std::string& where) {
  if (word == "folder") return sim::PathKind::kFolder;
  if (word == "hardlink") return sim::PathKind::kHardLink;
  if (word == "reparse-point") return sim::PathKind::kReparsePoint;
  if (word == "file") return sim::PathKind::kFile;
  Fail(where, "unknown kind \"" + word + "\" (folder, hardlink, reparse-point, file)");
}

void ApplyPayload(const toml::node& node, const std::filesystem::path& file,
                  const std::filesystem::path& dir, sim::Machine& machine) {
  const auto* table = node.as_table();
  if (!table) Fail(Where(file, node), kPayloadForm);
  for (const auto& [key, value] : *table) {
    if (key.str() != kInstallerNames[0] && key.str() != kInstallerNames[1])
      Fail(Where(file, value), "unknown installer \"" + std::string(key.str()) + "\"; " + kPayloadForm);
  }
  machine.pinned = payload::PinnedInstallers{};
  machine.pinned.pinned = 1;
  for (std::size_t i = 0; i < payload::kPinnedInstallers; ++i) {
    const std::string name = kInstallerNames[i];
    const toml::node* entry = table->get(name);
    if (!entry) Fail(Where(file, node), "'" + name + "' is not named: " + kPayloadForm);
    const std::string where = Where(file, *entry) + ": '" + name + "'";
    const auto* settings = entry->as_table();
    if (!settings) Fail(where, kPayloadForm);
    for (const auto& [key, value] : *settings) {
      if (key.str() != "pinned_size" && key.str() != "pinned_sha256" && key.str() != "holds")
        Fail(where, "unknown setting \"" + std::string(key.str()) + "\" (pinned_size, pinned_sha256, holds)");
    }
    const auto* size = settings->get_as<std::int64_t>("pinned_size");
    if (!size || size->get() < 0) Fail(where, "pinned_size: a whole number of bytes, 0 or more");
    payload::PinnedFile& pinned = machine.pinned.files[i];
    pinned.size = static_cast<std::uint64_t>(size->get());
    ReadDigest(StringOf(*settings, "pinned_sha256", where), pinned.sha256, where);
    const std::string holds = StringOf(*settings, "holds", where);
    const std::optional<std::string> bytes = HeldBytes(holds, dir, where);
    const Text path = machine.app_path + u"\\" + platform::FromUtf8(name);
    const auto installer = machine.files.find(sim::NormalizePath(path));
    if (!bytes) {
      if (installer != machine.files.end()) machine.files.erase(installer);
    } else if (installer == machine.files.end()) {
      Fail(where, "holds \"" + holds + "\", but [installers] leaves it out of the program folder");
    } else {
      installer->second.contents = *bytes;
    }
  }
}

}  // namespace simulator
