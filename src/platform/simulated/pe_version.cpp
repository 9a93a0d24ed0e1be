#include "platform/simulated/pe_version.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "platform/simulated/input_error.h"

namespace sim {
namespace {

constexpr std::uint32_t kVersionInfoId = 1;
constexpr std::uint32_t kRtVersion = 16;
constexpr std::uint32_t kSubdirectory = 0x80000000u;
constexpr std::uint64_t kDosHeaderSize = 64;
constexpr std::uint64_t kCoffHeaderSize = 20;
constexpr std::uint64_t kSectionHeaderSize = 40;
constexpr std::uint64_t kDirectoryHeaderSize = 16;
constexpr std::uint64_t kDirectoryEntrySize = 8;
constexpr std::uint64_t kDataEntrySize = 16;

std::string Hex(std::uint64_t n) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(n));
  return text;
}

// Section names are arbitrary bytes; messages must stay readable text.
std::string Printable(std::uint8_t c) {
  if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') return std::string(1, static_cast<char>(c));
  char text[8];
  std::snprintf(text, sizeof text, "\\x%02X", c);
  return text;
}

// A stretch of the address space backed by bytes of the file.
struct Region {
  std::uint64_t rva;
  std::uint64_t extent;      // in memory
  std::uint64_t file_bytes;  // of the extent, how much the file holds
  std::uint64_t file_offset;
  std::string name;
};

struct Directory {
  std::uint64_t entries;  // file offset of the first entry
  std::uint64_t count;
};

class PeReader {
 public:
  PeReader(std::span<const std::uint8_t> image, const std::string& name, std::uint16_t ui_language)
      : image_(image), name_(name), ui_language_(ui_language) {}

  std::optional<std::vector<std::uint8_t>> VersionResource() {
    const std::optional<std::uint64_t> directory_field = ResourceDirectoryField();
    if (!directory_field) return std::nullopt;
    resource_rva_ = U32(*directory_field);
    if (resource_rva_ == 0) return std::nullopt;
    return WalkResources(*directory_field);
  }

 private:
  [[noreturn]] void Fail(std::uint64_t offset, const std::string& what) const {
    throw InputError(name_ + ": at offset " + Hex(offset) + ": " + what);
  }

  // Every read goes through here, so nothing past the image is ever touched.
  void Require(std::uint64_t offset, std::uint64_t length, const std::string& what) const {
    if (offset > image_.size() || length > image_.size() - offset) {
      Fail(offset, what + " (" + Hex(length) + " bytes) runs past the end of the file (size " +
                       Hex(image_.size()) + ")");
    }
  }

  std::uint16_t U16(std::uint64_t offset) const {
    Require(offset, 2, "a 16-bit field");
    return static_cast<std::uint16_t>(image_[offset] | image_[offset + 1] << 8);
  }

  std::uint32_t U32(std::uint64_t offset) const {
    Require(offset, 4, "a 32-bit field");
    return static_cast<std::uint32_t>(image_[offset]) |
           static_cast<std::uint32_t>(image_[offset + 1]) << 8 |
           static_cast<std::uint32_t>(image_[offset + 2]) << 16 |
           static_cast<std::uint32_t>(image_[offset + 3]) << 24;
  }

  bool BytesAre(std::uint64_t offset, std::string_view expected) const {
    if (offset > image_.size() || expected.size() > image_.size() - offset) return false;
    for (std::size_t i = 0; i < expected.size(); ++i) {
      if (image_[offset + i] != static_cast<std::uint8_t>(expected[i])) return false;
    }
    return true;
  }

  // Checks the headers and collects the sections; the file offset of the
  // resource entry of the data directory, or nullopt when there is none.
  std::optional<std::uint64_t> ResourceDirectoryField() {
    if (!BytesAre(0, "MZ")) Fail(0, "not a PE file: it does not start with \"MZ\"");
    Require(0, kDosHeaderSize, "the DOS header");
    const std::uint64_t pe = U32(0x3C);
    if (pe > image_.size() || image_.size() - pe < 4) {
      Fail(0x3C, "e_lfanew (" + Hex(pe) + ") points past the end of the file (size " +
                     Hex(image_.size()) + "); not a 32- or 64-bit PE file");
    }
    if (!BytesAre(pe, std::string_view("PE\0\0", 4))) {
      for (const std::string_view other : {"NE", "LE", "LX"}) {
        if (BytesAre(pe, other)) {
          Fail(pe, "not a 32- or 64-bit PE file (\"" + std::string(other) + "\" header)");
        }
      }
      Fail(pe, "not a 32- or 64-bit PE file: no \"PE\\0\\0\" signature where e_lfanew points");
    }

    const std::uint64_t coff = pe + 4;
    Require(coff, kCoffHeaderSize, "the COFF file header");
    const std::uint16_t section_count = U16(coff + 2);
    const std::uint16_t optional_size = U16(coff + 16);

    const std::uint64_t optional = coff + kCoffHeaderSize;
    if (optional_size < 2) Fail(coff + 16, "no optional header (size " + Hex(optional_size) + ")");
    Require(optional, optional_size, "the optional header");
    const std::uint16_t magic = U16(optional);
    std::uint64_t count_field = 0;
    if (magic == 0x10B) {
      count_field = 92;  // PE32
    } else if (magic == 0x20B) {
      count_field = 108;  // PE32+
    } else {
      Fail(optional,
           "unknown optional header magic " + Hex(magic) + " (PE32 is 0x10B, PE32+ 0x20B)");
    }
    if (optional_size < count_field + 4) {
      Fail(coff + 16, "optional header size " + Hex(optional_size) +
                          " is too small for its magic " + Hex(magic));
    }

    const std::uint64_t sections = optional + optional_size;
    Require(sections, section_count * kSectionHeaderSize,
            "the section table (NumberOfSections " + std::to_string(section_count) + ")");
    for (std::uint64_t i = 0; i < section_count; ++i) {
      const std::uint64_t at = sections + i * kSectionHeaderSize;
      std::string name;
      for (std::uint64_t c = 0; c < 8 && image_[at + c] != 0; ++c)
        name += Printable(image_[at + c]);
      const std::uint64_t virtual_size = U32(at + 8);
      const std::uint64_t raw_size = U32(at + 16);
      const std::uint64_t extent = virtual_size != 0 ? virtual_size : raw_size;
      regions_.push_back({U32(at + 12), extent, std::min(extent, raw_size), U32(at + 20),
                          "section \"" + name + "\""});
    }
    // The loader maps the headers as they lie in the file; sections win where they overlap.
    const std::uint64_t headers = std::min<std::uint64_t>(U32(optional + 60), image_.size());
    regions_.push_back({0, headers, headers, 0, "the headers"});

    if (U32(optional + count_field) <= 2) return std::nullopt;
    const std::uint64_t resource_field = optional + count_field + 4 + 2 * 8;
    Require(resource_field, 8, "the resource entry of the data directory");
    return resource_field;
  }

  // The file offset of `length` bytes at `rva`; `field` is where the
  // reference to them was found.
  std::uint64_t Map(std::uint64_t rva, std::uint64_t length, std::uint64_t field,
                    const std::string& what) const {
    for (const Region& r : regions_) {
      if (rva < r.rva || rva - r.rva >= r.extent) continue;
      const std::uint64_t into = rva - r.rva;
      if (length > r.file_bytes || into > r.file_bytes - length) {
        Fail(field, what + " at RVA " + Hex(rva) + " (" + Hex(length) +
                        " bytes) runs past the bytes the file holds for " + r.name);
      }
      const std::uint64_t offset = r.file_offset + into;
      if (offset > image_.size() || length > image_.size() - offset) {
        Fail(field, what + " at RVA " + Hex(rva) + " (" + Hex(length) +
                        " bytes) lies at file offset " + Hex(offset) +
                        ", past the end of the file (size " + Hex(image_.size()) + ")");
      }
      return offset;
    }
    Fail(field, what + " at RVA " + Hex(rva) + " lies outside every section");
  }

  // A directory of the resource tree at `relative` to its root. Windows trees
  // have three levels, so entering one directory twice can only be a loop.
  Directory OpenDirectory(std::uint32_t relative, std::uint64_t field) {
    for (const std::uint32_t seen : visited_) {
      if (seen == relative) {
        Fail(field, "resource directory entry leads back to the directory at " + Hex(relative) +
                        " of the resource tree (a loop)");
      }
    }
    visited_.push_back(relative);
    const std::uint64_t rva = resource_rva_ + static_cast<std::uint64_t>(relative);
    const std::uint64_t at = Map(rva, kDirectoryHeaderSize, field, "resource directory");
    const std::uint64_t count = static_cast<std::uint64_t>(U16(at + 12)) + U16(at + 14);
    Map(rva, kDirectoryHeaderSize + count * kDirectoryEntrySize, field,
        "resource directory with " + std::to_string(count) + " entries");
    return {at + kDirectoryHeaderSize, count};
  }

  std::optional<std::vector<std::uint8_t>> WalkResources(std::uint64_t directory_field) {
    const Directory types = OpenDirectory(0, directory_field);
    std::optional<std::uint64_t> version;
    for (std::uint64_t i = 0; i < types.count && !version; ++i) {
      const std::uint64_t entry = types.entries + i * kDirectoryEntrySize;
      if (U32(entry) == kRtVersion) version = entry;
    }
    if (!version) return std::nullopt;

    std::uint64_t entry = *version;
    for (const char* level : {"type", "name"}) {
      const std::uint64_t field = entry + 4;
      const std::uint32_t target = U32(field);
      if ((target & kSubdirectory) == 0) {
        Fail(field, std::string("the version resource's ") + level +
                        " entry points to data where a directory belongs");
      }
      const Directory next = OpenDirectory(target & ~kSubdirectory, field);
      if (next.count == 0) return std::nullopt;
      entry = std::string_view(level) == "name" ? Language(next) : next.entries;
      if (std::string_view(level) == "type") {
        // Windows asks for the resource with ID 1 (VS_VERSION_INFO) only.
        std::optional<std::uint64_t> id1;
        for (std::uint64_t i = 0; i < next.count && !id1; ++i) {
          const std::uint64_t candidate = next.entries + i * kDirectoryEntrySize;
          if (U32(candidate) == kVersionInfoId) id1 = candidate;
        }
        if (!id1) return std::nullopt;
        entry = *id1;
      }
    }

    const std::uint64_t field = entry + 4;
    const std::uint32_t target = U32(field);
    if ((target & kSubdirectory) != 0) {
      Fail(field, "the version resource's language entry points to a fourth level of directories");
    }
    const std::uint64_t data_entry = Map(resource_rva_ + static_cast<std::uint64_t>(target),
                                         kDataEntrySize, field, "resource data entry");
    const std::uint32_t size = U32(data_entry + 4);
    if (size == 0) Fail(data_entry + 4, "the version resource is empty");
    const std::uint64_t data = Map(U32(data_entry), size, data_entry, "version resource data");
    const auto first = image_.begin() + static_cast<std::ptrdiff_t>(data);
    return std::vector<std::uint8_t>(first, first + static_cast<std::ptrdiff_t>(size));
  }

  // The language entry Windows takes when a program asks for the version
  // resource without naming a language (FindResource with LANG_NEUTRAL):
  // neutral, the UI language, its primary language, English (US, then
  // neutral English), and only then the first entry.
  std::uint64_t Language(const Directory& languages) {
    const std::uint32_t primary = ui_language_ & 0x3FFu;
    for (const std::uint32_t wanted : {0u, std::uint32_t{ui_language_}, primary, 0x409u, 0x009u})
      for (std::uint64_t i = 0; i < languages.count; ++i) {
        const std::uint64_t candidate = languages.entries + i * kDirectoryEntrySize;
        if (U32(candidate) == wanted) return candidate;
      }
    return languages.entries;
  }

  std::span<const std::uint8_t> image_;
  const std::string& name_;
  std::uint16_t ui_language_;
  std::vector<Region> regions_;
  std::uint32_t resource_rva_ = 0;
  std::vector<std::uint32_t> visited_;
};

}  // namespace

std::optional<std::vector<std::uint8_t>> ReadVersionResourceFromImage(
    std::span<const std::uint8_t> image, const std::string& name_for_errors,
    std::uint16_t ui_language) {
  return PeReader(image, name_for_errors, ui_language).VersionResource();
}

}  // namespace sim
