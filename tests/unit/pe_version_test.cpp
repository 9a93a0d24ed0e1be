// Version resources read out of real PE files: the fixture executables built
// by tests/fixtures/make_fixtures.sh, images built here to reach each branch,
// and damaged images, which must be refused with a message and never read
// out of bounds.
#include "platform/simulated/pe_version.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "hotfix/form1.h"
#include "platform/simulated/input_error.h"
#include "platform/simulated/machine.h"
#include "platform/simulated/simulated_platform.h"
#include "platform/simulated/version_resource.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using platform::Text;

const std::string kFixtures = std::string(HOTFIX_SOURCE_DIR) + "/tests/fixtures/";
const std::string kTrk32 = kFixtures + "trk_3_3_1000_0_x86.exe";
const std::string kTrk64 = kFixtures + "trk_3_3_1000_0_x64.exe";
const std::string kNoVersion = kFixtures + "no_version_x86.exe";
const std::string kName = "customer.exe";

Bytes ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Put16(Bytes& b, std::size_t at, std::uint16_t v) {
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint16_t Get16(const Bytes& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

// ---- images built here -------------------------------------------------------

struct Layout {
  bool pe32_plus = false;
  bool other_types = false;  // a named type, RT_ICON and RT_MANIFEST around RT_VERSION
  std::uint32_t version_id = 1;  // the name of the version resource
  Bytes resource = sim::MakeVersionResource(sim::FixedFileInfo(3, 3, 1000, 0));
  // Language entries of the version resource, in the order of the tree;
  // none: one, 0x409, holding `resource`.
  std::vector<std::pair<std::uint32_t, Bytes>> languages = {};
};

// A PE image with one section, ".rsrc" at RVA 0x1000, file offset 0x200,
// and the file offsets of the fields the tests damage.
struct Image {
  Bytes bytes;
  std::size_t signature = 0x40;
  std::size_t optional = 0x58;
  std::size_t optional_size_field = 0x54;
  std::size_t rva_count = 0;     // NumberOfRvaAndSizes
  std::size_t resource_dir = 0;  // data directory 2: RVA, size
  std::size_t section = 0;       // the section header
  std::size_t root = 0x200;
  std::size_t type_entry = 0;  // the RT_VERSION entry of the root
  std::size_t type_dir = 0;
  std::size_t name_entry = 0;
  std::size_t language_entry = 0;
  std::size_t data_entry = 0;
};

constexpr std::uint32_t kSectionRva = 0x1000;
constexpr std::uint32_t kSectionFile = 0x200;
constexpr std::uint32_t kSub = 0x80000000u;

Image MakeImage(const Layout& layout = {}) {
  Image im;
  Bytes& b = im.bytes;
  b.assign(kSectionFile, 0);
  b[0] = 'M';
  b[1] = 'Z';
  // DOS header fields as linkers write them: the root of a tree read at RVA 0
  // would claim 65535 named entries.
  Put16(b, 2, 0x90);
  Put16(b, 4, 3);
  Put16(b, 8, 4);
  Put16(b, 12, 0xFFFF);
  Put16(b, 16, 0xB8);
  Put16(b, 24, 0x40);
  Put32(b, 0x3C, 0x40);
  std::memcpy(&b[im.signature], "PE\0\0", 4);
  const std::uint16_t optional_size = layout.pe32_plus ? 240 : 224;
  Put16(b, 0x44, layout.pe32_plus ? 0x8664 : 0x14C);
  Put16(b, 0x46, 1);
  Put16(b, im.optional_size_field, optional_size);
  Put16(b, im.optional, layout.pe32_plus ? 0x20B : 0x10B);
  Put32(b, im.optional + 60, kSectionFile);  // SizeOfHeaders
  im.rva_count = im.optional + (layout.pe32_plus ? 108 : 92);
  Put32(b, im.rva_count, 16);
  im.resource_dir = im.rva_count + 4 + 16;
  im.section = im.optional + optional_size;

  // The tree, offsets relative to its root; entries are patched once their
  // targets are placed.
  Bytes t;
  auto directory = [&t](std::uint16_t named, std::uint16_t ids) {
    const std::size_t at = t.size();
    t.resize(at + 16 + 8u * (named + ids));
    Put16(t, at + 12, named);
    Put16(t, at + 14, ids);
    return at;
  };
  const auto languages = layout.languages.empty()
                             ? std::vector<std::pair<std::uint32_t, Bytes>>{{0x409, layout.resource}}
                             : layout.languages;
  const std::size_t root = layout.other_types ? directory(1, 3) : directory(0, 1);
  const std::size_t version_entry = root + 16 + (layout.other_types ? 16 : 0);
  const std::size_t type_dir = directory(0, 1);
  const std::size_t name_dir = directory(0, static_cast<std::uint16_t>(languages.size()));
  const std::size_t data_entry = t.size();
  t.resize(t.size() + 16 * languages.size());
  Put32(t, version_entry, 16);
  Put32(t, version_entry + 4, kSub | static_cast<std::uint32_t>(type_dir));
  Put32(t, type_dir + 16, layout.version_id);
  Put32(t, type_dir + 20, kSub | static_cast<std::uint32_t>(name_dir));
  for (std::size_t l = 0; l < languages.size(); ++l) {
    Put32(t, name_dir + 16 + 8 * l, languages[l].first);
    Put32(t, name_dir + 20 + 8 * l, static_cast<std::uint32_t>(data_entry + 16 * l));
  }
  if (layout.other_types) {
    const std::size_t empty = directory(0, 0);
    const std::size_t name = t.size();
    const std::u16string icons = u"ICONS";
    t.resize(name + 2 + 2 * icons.size() + 2);
    Put16(t, name, static_cast<std::uint16_t>(icons.size()));
    for (std::size_t i = 0; i < icons.size(); ++i) Put16(t, name + 2 + 2 * i, icons[i]);
    const std::pair<std::uint32_t, std::size_t> others[] = {
        {kSub | static_cast<std::uint32_t>(name), root + 16}, {3, root + 24}, {24, root + 40}};
    for (const auto& [id, at] : others) {
      Put32(t, at, id);
      Put32(t, at + 4, kSub | static_cast<std::uint32_t>(empty));
    }
  }
  for (std::size_t l = 0; l < languages.size(); ++l) {
    while (t.size() % 4 != 0) t.push_back(0);
    Put32(t, data_entry + 16 * l, kSectionRva + static_cast<std::uint32_t>(t.size()));
    Put32(t, data_entry + 16 * l + 4, static_cast<std::uint32_t>(languages[l].second.size()));
    t.insert(t.end(), languages[l].second.begin(), languages[l].second.end());
  }

  const auto raw_size = static_cast<std::uint32_t>((t.size() + 0x1FF) & ~std::size_t{0x1FF});
  std::memcpy(&b[im.section], ".rsrc", 5);
  Put32(b, im.section + 8, static_cast<std::uint32_t>(t.size()));
  Put32(b, im.section + 12, kSectionRva);
  Put32(b, im.section + 16, raw_size);
  Put32(b, im.section + 20, kSectionFile);
  Put32(b, im.resource_dir, kSectionRva);
  Put32(b, im.resource_dir + 4, static_cast<std::uint32_t>(data_entry + 16 * languages.size()));
  t.resize(raw_size);
  b.insert(b.end(), t.begin(), t.end());

  im.type_entry = kSectionFile + version_entry;
  im.type_dir = kSectionFile + type_dir;
  im.name_entry = kSectionFile + type_dir + 16;
  im.language_entry = kSectionFile + name_dir + 16;
  im.data_entry = kSectionFile + data_entry;
  return im;
}

std::optional<Bytes> Read(const Bytes& image) {
  return sim::ReadVersionResourceFromImage(image, kName);
}

// ---- the fixtures, through the real decoder -----------------------------------

struct Decoded {
  Text struc, file, product, flags, os, type;
};

Decoded DecodeOnMachine(const Bytes& resource) {
  const Text path = u"C:\\Program Files\\Orvane\\Firewall\\trk.exe";
  sim::Machine m;
  m.AddVersionedFile(path, resource);
  sim::SimulatedPlatform p(m);
  hotfix::Form1 form(p);
  form.state().sFullName = path;
  form.DisplayVerInfo();
  const auto& s = form.state();
  return {s.sStrucVer, s.sFileVer, s.sProdVer, s.sFileFlags, s.sFileOS, s.sFileType};
}

TEST(PeVersionFixtures, Trk32And64BitGiveVersion3_3_1000_0OnTheSimulatedMachine) {
  for (const std::string& fixture : {kTrk32, kTrk64}) {
    SCOPED_TRACE(fixture);
    const std::optional<Bytes> resource = sim::ReadVersionResource(fixture);
    ASSERT_TRUE(resource.has_value());
    const Decoded d = DecodeOnMachine(*resource);
    EXPECT_EQ(d.struc, u"1.0");
    EXPECT_EQ(d.file, u"3.3.1000.0");
    EXPECT_EQ(d.product, u"3.3.1000.0");
    EXPECT_EQ(d.flags, u"");
    EXPECT_EQ(d.os, u"NT-Win32");
    EXPECT_EQ(d.type, u"App");
  }
}

TEST(PeVersionFixtures, ResourceIsTheWholeVersionInfoBlockWithItsStrings) {
  const std::optional<Bytes> x86 = sim::ReadVersionResource(kTrk32);
  const std::optional<Bytes> x64 = sim::ReadVersionResource(kTrk64);
  ASSERT_TRUE(x86 && x64);
  EXPECT_EQ(*x86, *x64);  // one resource script, whichever header layout carries it
  ASSERT_GE(x86->size(), 6u + 32u);
  EXPECT_EQ(Get16(*x86, 0), x86->size());  // wLength covers exactly what was read
  EXPECT_EQ(Get16(*x86, 2), 52);           // wValueLength: a VS_FIXEDFILEINFO
  const std::u16string key = u"VS_VERSION_INFO";
  for (std::size_t i = 0; i < key.size(); ++i) EXPECT_EQ(Get16(*x86, 6 + 2 * i), key[i]) << i;
  // The string table of the last block survives, so nothing was cut off.
  const std::u16string product = u"3.3.1000.0";
  const Bytes& r = *x86;
  std::vector<std::size_t> hits;
  for (std::size_t at = 0; at + 2 * product.size() <= r.size(); at += 2) {
    bool match = true;
    for (std::size_t i = 0; i < product.size() && match; ++i)
      match = Get16(r, at + 2 * i) == product[i];
    if (match) hits.push_back(at);
  }
  EXPECT_EQ(hits.size(), 2u);  // FileVersion and ProductVersion
}

TEST(PeVersionFixtures, ExecutableWithOtherResourcesButNoVersionGivesNothing) {
  EXPECT_EQ(sim::ReadVersionResource(kNoVersion), std::nullopt);
}

// Every byte the reader needs lies before the end of the version data; cutting
// any of them must be refused, cutting only the section's padding after them not.
TEST(PeVersionFixtures, TruncationsAreRefusedUntilTheVersionDataIsWhole) {
  const Bytes whole = ReadAll(kTrk32);
  const std::optional<Bytes> resource = Read(whole);
  ASSERT_TRUE(resource.has_value());
  const auto at = std::search(whole.begin(), whole.end(), resource->begin(), resource->end());
  ASSERT_NE(at, whole.end());
  const auto needed = static_cast<std::size_t>(at - whole.begin()) + resource->size();
  ASSERT_LT(needed, whole.size());  // the fixture has padding to cut
  for (std::size_t length = 0; length < whole.size(); ++length) {
    const Bytes part(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
    if (length >= needed) {
      EXPECT_EQ(Read(part), resource) << length;
      continue;
    }
    try {
      Read(part);
      ADD_FAILURE() << "a truncation to " << length << " bytes was accepted";
    } catch (const sim::InputError& e) {
      ASSERT_EQ(std::string(e.what()).rfind(kName + ": at offset 0x", 0), 0u) << e.what();
    }
  }
}

// ---- files ---------------------------------------------------------------------

TEST(PeVersionFiles, MissingFileDirectoryAndOversizedFileAreRefusedNamingThePath) {
  const std::filesystem::path dir =
      std::filesystem::path(testing::TempDir()) / "pe_version_test_files";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const std::string missing = (dir / "missing.exe").string();
  const std::string big = (dir / "big.exe").string();
  {
    std::ofstream out(big, std::ios::binary);
    out.write(reinterpret_cast<const char*>(ReadAll(kTrk32).data()), 64);
  }
  std::filesystem::resize_file(big, sim::kMaxPeFileSize + 1);  // sparse: nothing is written

  const struct {
    std::string path;
    const char* says;
  } cases[] = {{missing, "cannot read"}, {dir.string(), "directory"}, {big, "268435457 bytes"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    try {
      sim::ReadVersionResource(c.path);
      ADD_FAILURE() << "accepted";
    } catch (const sim::InputError& e) {
      const std::string message = e.what();
      EXPECT_EQ(message.rfind(c.path + ": ", 0), 0u) << message;
      EXPECT_NE(message.find(c.says), std::string::npos) << message;
    }
  }
  std::filesystem::remove_all(dir);
}

TEST(PeVersionFiles, FileWithTrailingBytesIsReadAndMessagesNameThePath) {
  const std::filesystem::path dir =
      std::filesystem::path(testing::TempDir()) / "pe_version_test_sizes";
  std::filesystem::create_directories(dir);
  const std::string padded = (dir / "padded.exe").string();
  const std::string broken = (dir / "broken.exe").string();
  {
    const Bytes image = MakeImage().bytes;
    std::ofstream(padded, std::ios::binary)
        .write(reinterpret_cast<const char*>(image.data()),
               static_cast<std::streamsize>(image.size()));
    std::ofstream(broken, std::ios::binary).write("MZ", 2);
  }
  // Trailing bytes (an overlay, a signature) are no concern of the reader.
  std::filesystem::resize_file(padded, 4 * 1024 * 1024);
  EXPECT_EQ(sim::ReadVersionResource(padded), Layout().resource);
  try {
    sim::ReadVersionResource(broken);
    ADD_FAILURE() << "accepted";
  } catch (const sim::InputError& e) {
    EXPECT_EQ(std::string(e.what()).rfind(broken + ": at offset 0x0: ", 0), 0u) << e.what();
  }
  std::filesystem::remove_all(dir);
}

// ---- images built here ---------------------------------------------------------

TEST(PeVersionImages, Pe32AndPe32PlusGiveTheResourceBytesExactly) {
  Bytes odd = sim::MakeVersionResource(sim::FixedFileInfo(1, 2, 3, 4));
  odd.push_back(0xAB);  // sizes need not be multiples of 4
  for (const bool plus : {false, true}) {
    for (const bool others : {false, true}) {
      SCOPED_TRACE(testing::Message() << "PE32+ " << plus << ", other types " << others);
      Layout layout;
      layout.pe32_plus = plus;
      layout.other_types = others;
      layout.resource = odd;
      EXPECT_EQ(Read(MakeImage(layout).bytes), odd);
    }
  }
}

TEST(PeVersionImages, LayoutsTheLoaderAcceptsAreRead) {
  const struct {
    const char* what;
    std::function<void(Image&)> change;
  } cases[] = {
      {"section without VirtualSize, sized by its raw data",
       [](Image& im) { Put32(im.bytes, im.section + 8, 0); }},
      {"tree in the headers, as in images aligned to the file",
       [](Image& im) {
         const std::size_t copy_to = 0x180;
         std::copy_n(im.bytes.begin() + static_cast<std::ptrdiff_t>(im.root),
                     im.data_entry + 16 - im.root,
                     im.bytes.begin() + static_cast<std::ptrdiff_t>(copy_to));
         std::fill_n(im.bytes.begin() + static_cast<std::ptrdiff_t>(im.root), 16,
                     std::uint8_t{0xEE});
         Put32(im.bytes, im.resource_dir, copy_to);
       }},
      {"data beyond the file", [](Image& im) { im.bytes.resize(im.bytes.size() + 0x800, 0xCC); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Image im = MakeImage();
    c.change(im);
    EXPECT_EQ(Read(im.bytes), Layout().resource);
  }
}

TEST(PeVersionImages, WellFormedImagesWithoutAVersionResourceGiveNothing) {
  const struct {
    const char* what;
    std::function<void(Image&)> change;
  } cases[] = {
      {"data directory has no resource entry", [](Image& im) { Put32(im.bytes, im.rva_count, 2); }},
      {"resource directory RVA is 0", [](Image& im) { Put32(im.bytes, im.resource_dir, 0); }},
      {"only another type", [](Image& im) { Put32(im.bytes, im.type_entry, 17); }},
      {"version type without names", [](Image& im) { Put16(im.bytes, im.type_dir + 14, 0); }},
      {"version name without languages",
       [](Image& im) { Put16(im.bytes, im.language_entry - 2, 0); }},
  };
  for (const bool others : {false, true}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(testing::Message() << c.what << ", other types " << others);
      Layout layout;
      layout.other_types = others;
      Image im = MakeImage(layout);
      ASSERT_TRUE(Read(im.bytes).has_value());
      c.change(im);
      EXPECT_EQ(Read(im.bytes), std::nullopt);
    }
  }
}

// Each damage is refused with the file's name, the offset of the field at
// fault and what is wrong with it.
TEST(PeVersionImages, DamagedImagesAreRefusedNamingFileOffsetAndFault) {
  const Image base = MakeImage();
  const std::size_t section_end = base.section + 40;
  const struct {
    const char* what;
    std::function<void(Image&)> change;
    std::size_t offset;
    const char* says;
  } cases[] = {
      {"empty", [](Image& im) { im.bytes.clear(); }, 0, "does not start with \"MZ\""},
      {"MZ only", [](Image& im) { im.bytes.resize(2); }, 0, "DOS header"},
      {"e_lfanew past the end", [](Image& im) { Put32(im.bytes, 0x3C, 0x10000); }, 0x3C,
       "e_lfanew (0x10000) points past the end"},
      {"e_lfanew at the last bytes",
       [](Image& im) { Put32(im.bytes, 0x3C, static_cast<std::uint32_t>(im.bytes.size() - 3)); },
       0x3C, "points past the end"},
      {"bad PE signature", [](Image& im) { im.bytes[im.signature + 1] = 'X'; }, 0x40,
       "no \"PE\\0\\0\" signature"},
      {"16-bit NE file", [](Image& im) { std::memcpy(&im.bytes[im.signature], "NE", 2); }, 0x40,
       "not a 32- or 64-bit PE file (\"NE\" header)"},
      {"cut in the COFF header", [](Image& im) { im.bytes.resize(0x50); }, 0x44,
       "COFF file header"},
      {"unknown optional header magic", [](Image& im) { Put16(im.bytes, im.optional, 0x107); },
       0x58, "magic 0x107"},
      {"optional header too small for its kind",
       [](Image& im) { Put16(im.bytes, im.optional_size_field, 0x40); }, 0x54, "too small"},
      {"cut in the section table", [section_end](Image& im) { im.bytes.resize(section_end - 1); },
       base.section, "the section table (NumberOfSections 1)"},
      {"resource directory RVA outside every section",
       [](Image& im) { Put32(im.bytes, im.resource_dir, 0x9000); }, base.resource_dir,
       "resource directory at RVA 0x9000 lies outside every section"},
      {"section data past the end of the file",
       [](Image& im) { Put32(im.bytes, im.section + 20, 0x10000); }, base.resource_dir,
       "past the end of the file"},
      {"root claims more entries than the section holds",
       [](Image& im) { Put16(im.bytes, im.root + 14, 0xFFFF); }, base.resource_dir,
       "65535 entries"},
      {"version type entry points to the root itself",
       [](Image& im) { Put32(im.bytes, im.type_entry + 4, kSub); }, base.type_entry + 4, "a loop"},
      {"version name entry points back to the root",
       [](Image& im) { Put32(im.bytes, im.name_entry + 4, kSub); }, base.name_entry + 4, "a loop"},
      {"version language entry points to its own directory",
       [](Image& im) {
         Put32(im.bytes, im.language_entry + 4,
               kSub | static_cast<std::uint32_t>(im.language_entry - 16 - kSectionFile));
       },
       base.language_entry + 4, "fourth level"},
      {"version type entry points to data",
       [](Image& im) { Put32(im.bytes, im.type_entry + 4, 0x20); }, base.type_entry + 4,
       "type entry points to data"},
      {"data entry outside the section",
       [](Image& im) { Put32(im.bytes, im.language_entry + 4, 0x7FFFFFF0); },
       base.language_entry + 4, "resource data entry at RVA 0x80000FF0 lies outside every section"},
      {"data entry size past the end",
       [](Image& im) { Put32(im.bytes, im.data_entry + 4, 0x100000); }, base.data_entry,
       "version resource data at RVA"},
      {"data entry size past its section, into the bytes after it",
       [](Image& im) {
         const std::uint32_t raw_size = static_cast<std::uint32_t>(im.bytes.size()) - kSectionFile;
         im.bytes.resize(im.bytes.size() + 0x1000);
         Put32(im.bytes, im.section + 8, 0x10000);  // memory beyond the raw data is zeros
         Put32(im.bytes, im.data_entry + 4, raw_size);
       },
       base.data_entry, "runs past the bytes the file holds for section \".rsrc\""},
      {"section name of unprintable bytes, shown escaped",
       [](Image& im) {
         std::memcpy(&im.bytes[im.section], "\x01r\"\n\\", 5);
         Put32(im.bytes, im.data_entry + 4, 0x100000);
       },
       base.data_entry, "for section \"\\x01r\\x22\\x0A\\x5C\""},
      {"data entry RVA outside every section",
       [](Image& im) { Put32(im.bytes, im.data_entry, 0x00F00000); }, base.data_entry,
       "outside every section"},
      {"data entry of size 0", [](Image& im) { Put32(im.bytes, im.data_entry + 4, 0); },
       base.data_entry + 4, "empty"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Image im = base;
    c.change(im);
    try {
      const auto result = Read(im.bytes);
      ADD_FAILURE() << "accepted, " << (result ? "with" : "without") << " a resource";
    } catch (const sim::InputError& e) {
      char prefix[64];
      std::snprintf(prefix, sizeof prefix, ": at offset 0x%zX: ", c.offset);
      const std::string message = e.what();
      EXPECT_EQ(message.rfind(kName + prefix, 0), 0u) << message;
      EXPECT_NE(message.find(c.says), std::string::npos) << message;
    }
  }
}

// ---- arbitrary input -----------------------------------------------------------

// Whatever the bytes, the reader answers or refuses; an answer never holds
// more than the image did.
void ExpectAnswerOrRefusal(const Bytes& image) {
  try {
    const auto result = Read(image);
    if (result) {
      EXPECT_FALSE(result->empty());
      EXPECT_LE(result->size(), image.size());
    }
  } catch (const sim::InputError& e) {
    EXPECT_EQ(std::string(e.what()).rfind(kName + ": ", 0), 0u) << e.what();
  }
}

TEST(PeVersionArbitraryInput, RandomAndMutatedImagesAreAnsweredOrRefused) {
  std::mt19937 random(20240611);
  auto below = [&random](std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
  };
  for (int i = 0; i < 2000; ++i) {
    Bytes image(below(1024));
    for (auto& byte : image) byte = static_cast<std::uint8_t>(below(256));
    if (image.size() >= 0x40 && i % 2 == 0) {
      image[0] = 'M';
      image[1] = 'Z';
      Put32(image, 0x3C, static_cast<std::uint32_t>(below(image.size())));
    }
    ExpectAnswerOrRefusal(image);
  }
  const Image base = MakeImage({.pe32_plus = true, .other_types = true});
  int answered = 0;
  for (int i = 0; i < 5000; ++i) {
    Bytes image = base.bytes;
    for (std::size_t n = 1 + below(4); n > 0; --n) {
      image[below(base.data_entry + 16)] = static_cast<std::uint8_t>(below(256));
    }
    ExpectAnswerOrRefusal(image);
    try {
      answered += Read(image).has_value();
    } catch (const sim::InputError&) {
    }
  }
  EXPECT_GT(answered, 0);  // the mutations leave some images intact enough to read
}

TEST(PeVersionImages, OnlyTheResourceWithId1CountsAsWindowsLooksForNoOther) {
  Layout other;
  other.version_id = 2;
  EXPECT_FALSE(sim::ReadVersionResourceFromImage(MakeImage(other).bytes, "other.exe").has_value());
  EXPECT_TRUE(sim::ReadVersionResourceFromImage(MakeImage().bytes, "one.exe").has_value());
}

}  // namespace

namespace {

// Windows asks for the version resource in no particular language: it takes
// neutral, the UI language, its primary language, English, then the first.
TEST(PeVersionImages, OfSeveralLanguagesTheOneWindowsPicksIsRead) {
  auto version = [](std::uint16_t minor) {
    return sim::MakeVersionResource(sim::FixedFileInfo(3, 3, 1000, minor));
  };
  const Bytes german = version(7), english = version(9), italian = version(10);
  struct Row {
    const char* what;
    std::vector<std::pair<std::uint32_t, Bytes>> languages = {};
    std::uint16_t ui_language;
    const Bytes& expected;
  };
  const Row rows[] = {
      {"the UI language first", {{0x407, german}, {0x409, english}, {0x410, italian}}, 0x410, italian},
      {"English when the UI's is absent", {{0x407, german}, {0x409, english}, {0x410, italian}}, 0x40C, english},
      {"neutral before all", {{0x407, german}, {0x000, english}, {0x410, italian}}, 0x410, english},
      {"the UI's primary language", {{0x407, german}, {0x409, english}, {0x010, italian}}, 0x810, italian},
      {"neutral English after US English", {{0x407, german}, {0x009, english}, {0x410, italian}}, 0x40C, english},
      {"the first when none fits", {{0x407, german}, {0x410, italian}, {0x40C, english}}, 0x411, german},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Layout layout;
    layout.languages = row.languages;
    const auto got = sim::ReadVersionResourceFromImage(MakeImage(layout).bytes, "languages.exe",
                                                       row.ui_language);
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(*got, row.expected);
  }
}

}  // namespace
