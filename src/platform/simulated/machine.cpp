#include "platform/simulated/machine.h"

#include <algorithm>
#include <stdexcept>

namespace sim {

char16_t FoldChar(char16_t c) {
  if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) {
    return static_cast<char16_t>(c - 0x20);
  }
  return c == 0xFF ? char16_t{0x178} : c;
}

Text FoldCase(std::u16string_view text) {
  Text out(text);
  for (char16_t& c : out) c = FoldChar(c);
  return out;
}

// Folds as it goes: map lookups run this for every comparison.
bool CaseInsensitiveLess::operator()(std::u16string_view a, std::u16string_view b) const {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t x = FoldChar(a[i]);
    const char16_t y = FoldChar(b[i]);
    if (x != y) return x < y;
  }
  return a.size() < b.size();
}

Text NormalizePath(std::u16string_view path) {
  Text out;
  out.reserve(path.size());
  for (char16_t c : path) {
    if (c == u'/') c = u'\\';
    // Keep a leading "\\" (UNC) but fold repeats elsewhere.
    if (c == u'\\' && out.size() > 1 && out.back() == u'\\') continue;
    out += c;
  }
  return out;
}

bool IsDeviceName(std::u16string_view path) {
  const auto slash = path.find_last_of(u"\\/:");
  std::u16string_view name = slash == std::u16string_view::npos ? path : path.substr(slash + 1);
  name = name.substr(0, name.find(u'.'));
  while (!name.empty() && name.back() == u' ') name.remove_suffix(1);
  const Text upper = FoldCase(name);
  if (upper == u"NUL" || upper == u"CON" || upper == u"AUX" || upper == u"PRN") return true;
  return upper.size() == 4 && (upper.starts_with(u"COM") || upper.starts_with(u"LPT")) &&
         upper[3] >= u'1' && upper[3] <= u'9';
}

// ---- registry --------------------------------------------------------------

namespace {
bool SameName(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldChar(a[i]) != FoldChar(b[i])) return false;
  }
  return true;
}
}  // namespace

ValueList::iterator ValueList::find(std::u16string_view name) {
  return std::find_if(entries_.begin(), entries_.end(),
                      [&](const Entry& e) { return SameName(e.first, name); });
}

ValueList::const_iterator ValueList::find(std::u16string_view name) const {
  return std::find_if(entries_.begin(), entries_.end(),
                      [&](const Entry& e) { return SameName(e.first, name); });
}

const RegistryValue& ValueList::at(std::u16string_view name) const {
  const auto it = find(name);
  if (it == end()) throw std::out_of_range("no such registry value");
  return it->second;
}

RegistryValue& ValueList::operator[](const Text& name) {
  const auto it = find(name);
  if (it != end()) return it->second;
  return entries_.emplace_back(name, RegistryValue{}).second;
}

void ValueList::insert_or_assign(const Text& name, RegistryValue value) {
  (*this)[name] = std::move(value);
}

std::size_t ValueList::erase(std::u16string_view name) {
  const auto it = find(name);
  if (it == end()) return 0;
  entries_.erase(it);
  return 1;
}

bool Registry::IsPredefined(Long root) {
  const auto r = static_cast<std::uint32_t>(root);
  return r >= 0x80000000u && r <= 0x80000006u;
}

Text Registry::Normalize(Long root, const Text& path) {
  Text key;
  const std::string prefix = std::to_string(static_cast<std::uint32_t>(root));
  key.assign(prefix.begin(), prefix.end());
  Text part;
  auto flush = [&] {
    if (!part.empty()) key += u"\\" + part;
    part.clear();
  };
  for (char16_t c : path) {
    if (c == u'\\') {
      flush();
    } else {
      part += c;
    }
  }
  flush();
  return key;
}

RegistryKey& Registry::CreateKey(Long root, const Text& path) {
  const Text full = Normalize(root, path);
  if (const auto it = keys_.find(full); it != keys_.end()) return it->second;
  // Parents too, so that every prefix of a key exists; stop at one that does.
  for (std::size_t at = full.rfind(u'\\'); at != Text::npos && at > 0; at = full.rfind(u'\\', at - 1)) {
    if (!keys_.try_emplace(full.substr(0, at)).second) break;
  }
  return keys_[full];
}

RegistryKey* Registry::FindKey(Long root, const Text& path) {
  const auto it = keys_.find(Normalize(root, path));
  return it == keys_.end() ? nullptr : &it->second;
}

const RegistryKey* Registry::FindKey(Long root, const Text& path) const {
  const auto it = keys_.find(Normalize(root, path));
  return it == keys_.end() ? nullptr : &it->second;
}

void Registry::DeleteKey(Long root, const Text& path) {
  const Text full = Normalize(root, path);
  if (full.find(u'\\') == Text::npos) return;  // a root itself is never deleted
  keys_.erase(full);
  // Subkeys sort together right after "full\"; '\' sorts below every name character
  // that matters here, so the range ends at the first name without that prefix.
  const Text prefix = full + u"\\";
  auto it = keys_.lower_bound(prefix);
  while (it != keys_.end() && it->first.size() >= prefix.size() &&
         !CaseInsensitiveLess{}(std::u16string_view(it->first).substr(0, prefix.size()), prefix) &&
         !CaseInsensitiveLess{}(prefix, std::u16string_view(it->first).substr(0, prefix.size()))) {
    it = keys_.erase(it);
  }
}

void Registry::SetValue(Long root, const Text& path, const Text& name, RegistryValue value) {
  CreateKey(root, path).values[name] = std::move(value);
}

void Registry::SetString(Long root, const Text& path, const Text& name, const Text& text,
                         Long type, bool with_nul) {
  RegistryValue value;
  value.type = type;
  for (char16_t c : text) {
    value.data.push_back(static_cast<std::uint8_t>(c & 0xFF));
    value.data.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  if (with_nul) {
    value.data.push_back(0);
    value.data.push_back(0);
  }
  SetValue(root, path, name, std::move(value));
}

void Registry::SetDword(Long root, const Text& path, const Text& name, std::uint32_t number) {
  RegistryValue value;
  value.type = platform::kRegDword;
  for (int i = 0; i < 4; ++i) value.data.push_back(static_cast<std::uint8_t>(number >> (8 * i)));
  SetValue(root, path, name, std::move(value));
}

void Registry::DeleteValue(Long root, const Text& path, const Text& name) {
  if (RegistryKey* key = FindKey(root, path)) key->values.erase(name);
}

// ---- Windows versions --------------------------------------------------------

std::optional<WindowsVersion> WindowsVersionNamed(std::string_view name) {
  struct Entry { std::string_view name; WindowsVersion version; };
  using platform::kVerPlatformWin32Nt;
  using platform::kVerPlatformWin32Windows;
  static const Entry kKnown[] = {
      {"win95", {kVerPlatformWin32Windows, 4, 0, 950, "", false}},
      {"win98", {kVerPlatformWin32Windows, 4, 10, 2222, " A ", false}},
      {"winme", {kVerPlatformWin32Windows, 4, 90, 3000, " ", false}},
      {"nt351", {kVerPlatformWin32Nt, 3, 51, 1057, "Service Pack 5", false}},
      {"nt40", {kVerPlatformWin32Nt, 4, 0, 1381, "Service Pack 6a", false}},
      {"win2k", {kVerPlatformWin32Nt, 5, 0, 2195, "Service Pack 4", false}},
      {"winxp", {kVerPlatformWin32Nt, 5, 1, 2600, "Service Pack 3", false}},
      {"winxp64", {kVerPlatformWin32Nt, 5, 2, 3790, "Service Pack 2", false}},
      {"win2003", {kVerPlatformWin32Nt, 5, 2, 3790, "Service Pack 2", false}},
      {"vista", {kVerPlatformWin32Nt, 6, 0, 6002, "Service Pack 2", false}},
      {"win7", {kVerPlatformWin32Nt, 6, 1, 7601, "Service Pack 1", false}},
      {"win8", {kVerPlatformWin32Nt, 6, 2, 9200, "", false}},
      {"win81", {kVerPlatformWin32Nt, 6, 3, 9600, "", false}},
      {"win10", {kVerPlatformWin32Nt, 10, 0, 19045, "", false}},
  };
  for (const Entry& e : kKnown) {
    if (e.name == name) return e.version;
  }
  return std::nullopt;
}

// ---- machine -----------------------------------------------------------------

Answer AnswerYes() { return Answer{platform::kIdYes}; }
Answer AnswerNo() { return Answer{platform::kIdNo}; }
Answer AnswerEnter() { return Answer{Answer::kEnter}; }

void Machine::AddProgram(const Text& path, ProgramBehaviour behaviour) {
  files[NormalizePath(path)].program = behaviour;
}

void Machine::AddVersionedFile(const Text& path, std::vector<std::uint8_t> version_resource) {
  files[NormalizePath(path)].version_resource = std::move(version_resource);
}

const SimFile* Machine::FindFile(const Text& path) const {
  const auto it = files.find(NormalizePath(path));
  return it == files.end() ? nullptr : &it->second;
}

}  // namespace sim
