#include "simulator/machine_inputs.h"

#include "platform/simulated/input_error.h"
#include "platform/simulated/pe_version.h"
#include "platform/host_path.h"

namespace simulator {
namespace {

using platform::Text;

[[noreturn]] void Fail(const std::string& where, const std::string& what) {
  throw sim::InputError(where + ": " + what);
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

}  // namespace simulator
