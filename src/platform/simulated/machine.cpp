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

std::size_t ValueList::Position(std::u16string_view name) const {
  if (!index_.empty()) {
    const auto it = index_.find(FoldCase(name));
    return it == index_.end() ? entries_.size() : it->second;
  }
  for (std::size_t i = 0; i < entries_.size(); ++i)
    if (SameName(entries_[i].first, name)) return i;
  return entries_.size();
}

void ValueList::Reindex() {
  index_.clear();
  if (entries_.size() < kIndexFrom) return;
  for (std::size_t i = 0; i < entries_.size(); ++i) index_.emplace(FoldCase(entries_[i].first), i);
}

ValueList::iterator ValueList::find(std::u16string_view name) {
  return entries_.begin() + static_cast<std::ptrdiff_t>(Position(name));
}

ValueList::const_iterator ValueList::find(std::u16string_view name) const {
  return entries_.begin() + static_cast<std::ptrdiff_t>(Position(name));
}

const RegistryValue& ValueList::at(std::u16string_view name) const {
  const auto it = find(name);
  if (it == end()) throw std::out_of_range("no such registry value");
  return it->second;
}

RegistryValue& ValueList::operator[](const Text& name) {
  const std::size_t at = Position(name);
  if (at != entries_.size()) return entries_[at].second;
  entries_.emplace_back(name, RegistryValue{});
  if (!index_.empty()) index_.emplace(FoldCase(name), at);
  else if (entries_.size() == kIndexFrom) Reindex();
  return entries_.back().second;
}

void ValueList::insert_or_assign(const Text& name, RegistryValue value) {
  (*this)[name] = std::move(value);
}

std::size_t ValueList::erase(std::u16string_view name) {
  const std::size_t at = Position(name);
  if (at == entries_.size()) return 0;
  entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(at));
  Reindex();
  return 1;
}

bool Registry::IsPredefined(Long root) {
  const auto r = static_cast<std::uint32_t>(root);
  return r >= 0x80000000u && r <= 0x80000006u;
}

namespace {

// Calls f for each name of a "\"-separated path, empty ones skipped, until
// f returns false.
template <typename F>
void ForEachName(const Text& path, F f) {
  std::size_t begin = 0;
  while (begin <= path.size()) {
    const std::size_t end = std::min(path.find(u'\\', begin), path.size());
    if (end > begin && !f(Text(path, begin, end - begin))) return;
    begin = end + 1;
  }
}

}  // namespace

RegistryKey& Registry::CreateKey(Long root, const Text& path) {
  Node* node = &roots_[static_cast<std::uint32_t>(root)];
  ForEachName(path, [&](Text name) {
    node = &node->children[std::move(name)];
    return true;
  });
  return node->key;
}

Registry::Node* Registry::Find(Long root, const Text& path) {
  const auto it = roots_.find(static_cast<std::uint32_t>(root));
  if (it == roots_.end()) return nullptr;
  Node* node = &it->second;
  ForEachName(path, [&](const Text& name) {
    const auto child = node->children.find(name);
    node = child == node->children.end() ? nullptr : &child->second;
    return node != nullptr;
  });
  return node;
}

RegistryKey* Registry::FindKey(Long root, const Text& path) {
  Node* node = Find(root, path);
  return node == nullptr ? nullptr : &node->key;
}

const RegistryKey* Registry::FindKey(Long root, const Text& path) const {
  return const_cast<Registry*>(this)->FindKey(root, path);
}

void Registry::DeleteKey(Long root, const Text& path) {
  // The parent's path and the last name; a root itself is never deleted.
  Text parent, last;
  ForEachName(path, [&](Text name) {
    if (!last.empty()) parent += (parent.empty() ? u"" : u"\\") + last;
    last = std::move(name);
    return true;
  });
  if (last.empty()) return;
  if (Node* node = Find(root, parent)) node->children.erase(last);
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
