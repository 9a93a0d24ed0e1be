// The simulated machine's files for the deployment layer: the log opened
// for appending, the installers opened for reading, the names and kinds of
// paths, the current folder.
#include "platform/simulated/simulated_platform.h"

#include <algorithm>

#include "platform/simulated/full_path.h"

namespace sim {

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

const payload::PinnedInstallers& SimulatedPlatform::ShippedInstallers() {
  return machine_.pinned;
}

Long SimulatedPlatform::OpenFileForReading(const Text& path, Long& lpError) {
  Long handle = 0;
  const Text name = NormalizePath(path);
  const PathKind kind = KindOf(name);
  if (FailsNow() || kind == PathKind::kFolder) {
    lpError = platform::kErrorAccessDenied;
  } else if (kind == PathKind::kFile && machine_.FindFile(name) == nullptr) {
    lpError = platform::kErrorFileNotFound;
  } else {
    handle = NewHandle();
    files_[handle] = name;
    read_at_[handle] = 0;
  }
  Record("OpenFileForReading", {Quote(path), "&error"},
         Hex(static_cast<std::uint32_t>(handle)) + (handle ? "" : " error=" + Dec(lpError)));
  return handle;
}

Long SimulatedPlatform::ReadFile(Long hFile, std::uint8_t* lpBuffer, Long nNumberOfBytesToRead,
                                 Long& lpNumberOfBytesRead) {
  Long ok = 0;
  const auto it = files_.find(hFile);
  if (!FailsNow() && it != files_.end() && read_at_.count(hFile) != 0) {
    const SimFile* file = machine_.FindFile(it->second);
    const std::string_view bytes = file ? std::string_view(file->contents) : std::string_view();
    std::size_t& at = read_at_[hFile];
    const std::size_t n = std::min(bytes.size() - std::min(at, bytes.size()),
                                   static_cast<std::size_t>(nNumberOfBytesToRead));
    std::copy_n(bytes.data() + at, n, lpBuffer);
    at += n;
    lpNumberOfBytesRead = static_cast<Long>(n);
    ok = 1;
  }
  Record("ReadFile", {Hex(static_cast<std::uint32_t>(hFile)), Dec(nNumberOfBytesToRead) + " bytes"},
         ok ? "1 read=" + Dec(lpNumberOfBytesRead) : "0");
  return ok;
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

}  // namespace sim
