#include "platform/simulated/full_path.h"

#include <vector>

#include "platform/simulated/machine.h"

namespace sim {

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

}  // namespace sim
