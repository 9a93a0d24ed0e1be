#include "platform/simulated/simulated_platform.h"

#include <algorithm>
#include <cstring>

#include "platform/buttons.h"
#include "platform/command_line.h"
#include "platform/failure.h"
#include "platform/simulated/cp1252.h"

namespace sim {

using platform::AnsiString;

namespace {

constexpr Long kKeyRead = 0x20019;
constexpr Long kKeyWriteBits = 0x00010000 /*DELETE*/ | 0x00040000 /*WRITE_DAC*/ |
                               0x00080000 /*WRITE_OWNER*/ | platform::kKeySetValue |
                               platform::kKeyCreateSubKey | platform::kKeyCreateLink;
constexpr Long kMaximumAllowed = 0x02000000;

bool IsStringType(Long type) {
  return type == platform::kRegSz || type == platform::kRegExpandSz ||
         type == platform::kRegMultiSz;
}

Text Utf16Chars(const std::vector<std::uint8_t>& data) {
  Text text;
  for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
    text += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
  }
  return text;
}

std::uint16_t Word(const std::uint8_t* at) {
  return static_cast<std::uint16_t>(at[0] | (at[1] << 8));
}

}  // namespace

SimulatedPlatform::SimulatedPlatform(Machine& machine) : machine_(machine) {}

bool SimulatedPlatform::FailsNow() {
  ++calls_;
  return machine_.fail_call != 0 && calls_ == machine_.fail_call;
}

void SimulatedPlatform::Record(std::string call, std::vector<std::string> args,
                               std::string result) {
  seen_.trace.push_back(TraceEvent{std::move(call), std::move(args), std::move(result)});
}

std::string SimulatedPlatform::QuoteAnsi(const AnsiString& ansi) const {
  return Quote(DecodeCp1252(ansi));
}

Long SimulatedPlatform::NewHandle() {
  const Long handle = next_handle_;
  next_handle_ += 4;
  return handle;
}

AnsiString SimulatedPlatform::ToAnsi(std::u16string_view text) const { return EncodeCp1252(text); }
Text SimulatedPlatform::FromAnsi(std::string_view ansi) const { return DecodeCp1252(ansi); }

// ---- version information -----------------------------------------------------

Long SimulatedPlatform::GetFileVersionInfoSizeA(const AnsiString& lptstrFilename,
                                                Long& lpdwHandle) {
  Long size = 0;
  if (!FailsNow()) {
    const SimFile* file = machine_.FindFile(DecodeCp1252(lptstrFilename));
    if (file && file->version_resource) {
      // Windows asks for room beyond the resource for its ANSI conversions;
      // never less than the resource itself.
      size = static_cast<Long>(file->version_resource->size() * 2);
    }
  }
  lpdwHandle = 0;
  Record("GetFileVersionInfoSizeA", {QuoteAnsi(lptstrFilename), "&handle"}, Dec(size));
  return size;
}

Long SimulatedPlatform::GetFileVersionInfoA(const AnsiString& lptstrFilename, Long dwHandle,
                                            Long dwLen, std::uint8_t* lpData) {
  Long ok = 0;
  if (!FailsNow() && dwLen > 0 && lpData != nullptr) {
    const SimFile* file = machine_.FindFile(DecodeCp1252(lptstrFilename));
    if (file && file->version_resource) {
      const auto& resource = *file->version_resource;
      const std::size_t n = std::min<std::size_t>(resource.size(), static_cast<std::size_t>(dwLen));
      std::memcpy(lpData, resource.data(), n);
      version_blocks_[lpData] = static_cast<Long>(n);
      ok = 1;
    }
  }
  Record("GetFileVersionInfoA", {QuoteAnsi(lptstrFilename), Dec(dwHandle), Dec(dwLen), "buffer"},
         Dec(ok));
  return ok;
}

Long SimulatedPlatform::VerQueryValueA(const std::uint8_t* pBlock, const AnsiString& lpSubBlock,
                                       const std::uint8_t*& lplpBuffer, Long& puLen) {
  Long ok = 0;
  Long length = 0;
  const auto block = version_blocks_.find(pBlock);
  // Only the root block is modelled; the walk never leaves the bytes copied.
  if (!FailsNow() && block != version_blocks_.end() && (lpSubBlock == "\\" || lpSubBlock.empty())) {
    const auto avail = static_cast<std::size_t>(block->second);
    std::size_t at = 6;  // wLength, wValueLength, wType, then the key
    if (avail >= at) {
      const std::size_t total = std::min<std::size_t>(Word(pBlock), avail);
      while (at + 1 < total && Word(pBlock + at) != 0) at += 2;
      at = (at + 2 + 3) & ~std::size_t{3};  // past the NUL, to a 4-byte boundary
      const std::uint16_t value_length = Word(pBlock + 2);
      if (at + value_length <= total) {
        lplpBuffer = pBlock + at;
        puLen = length = value_length;
        ok = 1;
      }
    }
  }
  Record("VerQueryValueA", {"buffer", QuoteAnsi(lpSubBlock), "&pointer", "&length"},
         Dec(ok) + " length=" + Dec(length));
  return ok;
}

void SimulatedPlatform::RtlMoveMemory(void* Destination, const void* Source, Long Length) {
  FailsNow();  // cannot fail: a bad pointer would be a crash, not a status
  std::memmove(Destination, Source, static_cast<std::size_t>(Length));
  Record("RtlMoveMemory", {"record", "pointer", Dec(Length)}, "");
}

// ---- registry -------------------------------------------------------------------

const RegistryKey* SimulatedPlatform::KeyFor(Long hKey, Long& access) const {
  static const RegistryKey kEmptyRoot;
  if (Registry::IsPredefined(hKey)) {
    access = kKeyRead;
    const RegistryKey* root = machine_.registry.FindKey(hKey, Text());
    return root ? root : &kEmptyRoot;
  }
  const auto it = keys_.find(hKey);
  if (it == keys_.end()) return nullptr;
  access = it->second.access;
  return machine_.registry.FindKey(it->second.root, it->second.path);
}

Long SimulatedPlatform::OpenKeyCommon(const char* call, Long hKey, const AnsiString& sub_key,
                                      Long access, bool explicit_access, Long& result) {
  Long status = platform::kErrorSuccess;
  Long root = hKey;
  Text base;
  if (FailsNow()) {
    status = platform::kErrorAccessDenied;
  } else if (!Registry::IsPredefined(hKey)) {
    const auto it = keys_.find(hKey);
    if (it == keys_.end()) {
      status = platform::kErrorInvalidHandle;
    } else {
      root = it->second.root;
      base = it->second.path;
    }
  }
  Long granted = 0;
  Text path = base.empty() ? DecodeCp1252(sub_key) : base + u"\\" + DecodeCp1252(sub_key);
  if (status == platform::kErrorSuccess) {
    const RegistryKey* key = machine_.registry.FindKey(root, path);
    if (key == nullptr && !(path.empty() || path == u"\\")) {
      status = platform::kErrorFileNotFound;
    } else {
      const bool may_write = key == nullptr || key->may_write;
      if (explicit_access) {
        if ((access & kKeyWriteBits) && !may_write) status = platform::kErrorAccessDenied;
        granted = access;
      } else {
        granted = kKeyRead | (may_write ? kKeyWriteBits : 0);  // MAXIMUM_ALLOWED
      }
    }
  }
  if (status == platform::kErrorSuccess) {
    result = NewHandle();
    keys_[result] = OpenKey{root, path, granted};
  }
  std::vector<std::string> args = {Hex(static_cast<std::uint32_t>(hKey)), QuoteAnsi(sub_key)};
  if (explicit_access) {
    args.push_back("0");
    args.push_back(Hex(static_cast<std::uint32_t>(access)));
  }
  args.push_back("&key");
  Record(call, std::move(args),
         Dec(status) + (status == 0 ? " key=" + Hex(static_cast<std::uint32_t>(result)) : ""));
  return status;
}

Long SimulatedPlatform::RegOpenKeyExA(Long hKey, const AnsiString& lpSubKey, Long ulOptions,
                                      Long samDesired, Long& phkResult) {
  (void)ulOptions;
  return OpenKeyCommon("RegOpenKeyExA", hKey, lpSubKey, samDesired, true, phkResult);
}

Long SimulatedPlatform::RegOpenKeyA(Long hKey, const AnsiString& lpSubKey, Long& phkResult) {
  return OpenKeyCommon("RegOpenKeyA", hKey, lpSubKey, kMaximumAllowed, false, phkResult);
}

Long SimulatedPlatform::QueryValue(Long hKey, const AnsiString& name, Long& type,
                                   std::uint8_t* data, Long& size) {
  Long access = 0;
  const RegistryKey* key = KeyFor(hKey, access);
  if (key == nullptr) return platform::kErrorInvalidHandle;
  if (!(access & platform::kKeyQueryValue)) return platform::kErrorAccessDenied;
  const auto it = key->values.find(DecodeCp1252(name));
  if (it == key->values.end()) return platform::kErrorFileNotFound;
  const RegistryValue& value = it->second;

  // Strings leave the registry through the ANSI code page, sized in ANSI bytes.
  AnsiString bytes;
  if (IsStringType(value.type)) {
    bytes = EncodeCp1252(Utf16Chars(value.data));
  } else {
    bytes.assign(value.data.begin(), value.data.end());
  }
  const auto needed = static_cast<std::uint32_t>(bytes.size());
  type = value.type;
  if (data == nullptr) {
    size = static_cast<Long>(needed);
    return platform::kErrorSuccess;
  }
  const auto room = static_cast<std::uint32_t>(size);
  if (needed > room) {
    size = static_cast<Long>(needed);
    return platform::kErrorMoreData;
  }
  std::memcpy(data, bytes.data(), needed);
  // Windows terminates a string stored without its NUL when there is room.
  if (IsStringType(value.type) && needed > 0 && needed < room && data[needed - 1] != 0) {
    data[needed] = 0;
  }
  size = static_cast<Long>(needed);
  return platform::kErrorSuccess;
}

Long SimulatedPlatform::RegQueryValueExA(Long hKey, const AnsiString& lpValueName,
                                         Long lpReserved, Long& lpType, std::uint8_t* lpData,
                                         Long& lpcbData) {
  const Long type_in = lpType;
  const Long size_in = lpcbData;
  const Long status = FailsNow() ? platform::kErrorAccessDenied
                                 : QueryValue(hKey, lpValueName, lpType, lpData, lpcbData);
  std::string result = Dec(status);
  if (status == platform::kErrorSuccess || status == platform::kErrorMoreData) {
    result += " type=" + Dec(lpType) + " cb=" + Dec(lpcbData);
  }
  Record("RegQueryValueExA",
         {Hex(static_cast<std::uint32_t>(hKey)), QuoteAnsi(lpValueName), Dec(lpReserved),
          "&type=" + Dec(type_in), lpData ? "buffer" : "NULL", "&cb=" + Dec(size_in)},
         result);
  return status;
}

Long SimulatedPlatform::RegCloseKey(Long hKey) {
  Long status = platform::kErrorSuccess;
  if (FailsNow()) {
    status = platform::kErrorInvalidHandle;
  } else if (Registry::IsPredefined(hKey)) {
    status = platform::kErrorSuccess;
  } else if (keys_.erase(hKey) == 0) {
    status = platform::kErrorInvalidHandle;
  }
  Record("RegCloseKey", {Hex(static_cast<std::uint32_t>(hKey))}, Dec(status));
  return status;
}

}  // namespace sim
