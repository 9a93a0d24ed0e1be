// Writes a synthetic regedit export shaped like a full HKLM\SOFTWARE export:
// UTF-16LE with BOM, "Windows Registry Editor Version 5.00", deep key trees,
// values of every type regedit writes (strings, dword, hex, hex(0), hex(2),
// hex(7), hex(b), hex(4)), long binary values wrapped as regedit wraps them,
// @ defaults, names outside ASCII. The same seed gives the same file. The
// firewall's two keys sit in the middle, so a run of the hotfix finds them.
//
//   make_export OUT.reg [SIZE_MIB=200] [SEED=40517]
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next() {  // splitmix64
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  unsigned below(unsigned n) { return static_cast<unsigned>(next() % n); }
  bool chance(unsigned percent) { return below(100) < percent; }

 private:
  std::uint64_t state_;
};

const char* const kWords[] = {
    "Microsoft", "Windows", "CurrentVersion", "Explorer", "Shell", "Classes", "Setup",
    "Policies",  "Control", "Settings",       "Options",  "Drivers", "Services", "Components",
    "Install",   "Uninstall", "Common",       "Files",    "Data", "Config", "Cache", "Version",
    "Profile",   "Update",  "Security",       "Network",  "Display", "Audio", "Media", "Plugins"};
const char16_t* const kWide[] = {u"Überprüfung", u"Paramètres", u"設定", u"Настройки",
                                 u"Ελληνικά", u"Ärger"};

class Writer {
 public:
  explicit Writer(std::FILE* out) : out_(out) {}
  ~Writer() { flush(); }
  void put(char16_t c) {
    buffer_.push_back(c);
    if (buffer_.size() >= (1u << 20)) flush();
  }
  void put(const char* text) {
    while (*text) put(static_cast<char16_t>(static_cast<unsigned char>(*text++)));
  }
  void put(const char16_t* text) {
    while (*text) put(*text++);
  }
  void put(const std::u16string& text) {
    for (char16_t c : text) put(c);
  }
  std::uint64_t bytes() const { return written_ + buffer_.size() * 2; }
  void flush() {
    // Little-endian host: the code units are already in file order.
    std::fwrite(buffer_.data(), 2, buffer_.size(), out_);
    written_ += buffer_.size() * 2;
    buffer_.clear();
  }

 private:
  std::FILE* out_;
  std::u16string buffer_;
  std::uint64_t written_ = 0;
};

std::u16string widen(const std::string& text) { return std::u16string(text.begin(), text.end()); }

std::u16string name(Random& random) {
  if (random.chance(3)) return kWide[random.below(6)];
  std::u16string out = widen(kWords[random.below(30)]);
  if (random.chance(40)) out += widen(std::to_string(random.below(1000)));
  if (random.chance(10)) out += u" " + widen(kWords[random.below(30)]);
  if (random.chance(3)) out = u"{" + widen(std::to_string(random.next() % 100000000)) +
                              u"-02C7-4E9B-8B21-7F4C05E9A6D3}";
  return out;
}

void quoted(Writer& w, const std::u16string& text) {
  w.put(u'"');
  for (char16_t c : text) {
    if (c == u'"' || c == u'\\') w.put(u'\\');
    w.put(c);
  }
  w.put(u'"');
}

void hex_bytes(Writer& w, std::size_t prefix_columns, const std::vector<std::uint8_t>& data) {
  static const char digits[] = "0123456789abcdef";
  std::size_t column = prefix_columns;
  for (std::size_t i = 0; i < data.size(); ++i) {
    w.put(static_cast<char16_t>(digits[data[i] >> 4]));
    w.put(static_cast<char16_t>(digits[data[i] & 15]));
    column += 2;
    if (i + 1 < data.size()) {
      w.put(u',');
      ++column;
      if (column > 76) {  // regedit's wrap: a backslash, then two blanks
        w.put(u"\\\r\n  ");
        column = 2;
      }
    }
  }
  w.put(u"\r\n");
}

std::vector<std::uint8_t> utf16_bytes(const std::u16string& text) {
  std::vector<std::uint8_t> out;
  for (char16_t c : text) {
    out.push_back(static_cast<std::uint8_t>(c & 0xFF));
    out.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  return out;
}

void value(Writer& w, Random& random, bool is_default) {
  std::u16string head;
  if (is_default) head = u"@=";
  else {
    w.put(u'"');
    for (char16_t c : name(random)) {
      if (c == u'"' || c == u'\\') w.put(u'\\');
      w.put(c);
    }
    head = u"\"=";
  }
  w.put(head);
  const std::size_t column = 24;  // about where regedit's data starts
  const unsigned kind = is_default ? 0 : random.below(100);
  if (kind < 40) {
    std::u16string text = u"C:\\Program Files\\" + name(random) + u"\\" + name(random);
    if (random.chance(20)) text += u" \"quoted\" %1";
    quoted(w, text);
    w.put(u"\r\n");
  } else if (kind < 65) {
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "dword:%08x\r\n",
                  static_cast<unsigned>(random.next() & 0xFFFFFFFF));
    w.put(buffer);
  } else if (kind < 80) {
    // Mostly short blobs, now and then a long one (certificates, MRU lists).
    std::vector<std::uint8_t> data(random.chance(3) ? 200 + random.below(3800) : random.below(40));
    for (auto& b : data) b = static_cast<std::uint8_t>(random.next());
    w.put(u"hex:");
    hex_bytes(w, column, data);
  } else if (kind < 88) {
    auto data = utf16_bytes(u"%SystemRoot%\\system32\\" + name(random) + u".dll");
    data.insert(data.end(), {0, 0});
    w.put(u"hex(2):");
    hex_bytes(w, column, data);
  } else if (kind < 94) {
    std::vector<std::uint8_t> data;
    for (unsigned i = random.below(5); i-- > 0;) {
      auto part = utf16_bytes(name(random));
      data.insert(data.end(), part.begin(), part.end());
      data.insert(data.end(), {0, 0});
    }
    data.insert(data.end(), {0, 0});
    w.put(u"hex(7):");
    hex_bytes(w, column, data);
  } else if (kind < 98) {
    std::vector<std::uint8_t> data(8);
    for (auto& b : data) b = static_cast<std::uint8_t>(random.next());
    w.put(u"hex(b):");
    hex_bytes(w, column, data);
  } else if (kind < 99) {
    w.put(u"hex(0):\r\n");
  } else {
    std::vector<std::uint8_t> data(4);
    for (auto& b : data) b = static_cast<std::uint8_t>(random.next());
    w.put(u"hex(4):");
    hex_bytes(w, column, data);
  }
}

void key(Writer& w, Random& random, const std::u16string& path) {
  w.put(u"[");
  w.put(path);
  w.put(u"]\r\n");
  if (random.chance(30)) value(w, random, true);
  for (unsigned i = random.below(random.chance(10) ? 40 : 8); i-- > 0;) value(w, random, false);
  w.put(u"\r\n");
}

void tree(Writer& w, Random& random, const std::u16string& path, unsigned depth,
          std::uint64_t limit) {
  key(w, random, path);
  if (depth >= 12) return;
  const unsigned children = depth < 2 ? 4 + random.below(12) : random.below(depth < 6 ? 5 : 3);
  for (unsigned i = 0; i < children && w.bytes() < limit; ++i)
    tree(w, random, path + u"\\" + name(random), depth + 1, limit);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: make_export OUT.reg [SIZE_MIB=200] [SEED=40517]\n", stderr);
    return 2;
  }
  const std::uint64_t limit = (argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 200) << 20;
  Random random(argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 40517);
  std::FILE* out = std::fopen(argv[1], "wb");
  if (out == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  {
    Writer w(out);
    w.put(u'\xFEFF');
    w.put(u"Windows Registry Editor Version 5.00\r\n\r\n");
    const std::u16string root = u"HKEY_LOCAL_MACHINE\\SOFTWARE";
    key(w, random, root);
    bool firewall = false;
    for (unsigned vendor = 0; w.bytes() < limit; ++vendor) {
      if (!firewall && w.bytes() > limit / 2) {
        w.put(u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
              u"{D13A6F58-02C7-4E9B-8B21-7F4C05E9A6D3}]\r\n"
              u"\"DisplayName\"=\"Orvane Firewall v3.03\"\r\n\r\n"
              u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\Orvane firewall]\r\n"
              u"\"Installpath\"=\"C:\\\\fw\\\\\"\r\n\r\n");
        firewall = true;
      }
      tree(w, random, root + u"\\" + name(random) + widen(std::to_string(vendor)), 1, limit);
    }
  }
  if (std::fclose(out) != 0) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}
