#include "registry/readers.h"

#include <algorithm>
#include <new>

#include "platform/failure.h"

namespace registry {

using platform::AnsiArg;
using platform::Long;
using platform::Text;

namespace {

constexpr Long kQueryValueAccess = 0x3F;  // query, set, create, enumerate, notify, link

Text TrimBlanks(const Text& text) {
  const auto first = text.find_first_not_of(u' ');
  if (first == Text::npos) return Text();
  const auto last = text.find_last_not_of(u' ');
  return text.substr(first, last - first + 1);
}

// A text of `size` copies of `fill`, as the classic String$ builds it.
Text FilledText(Long size, char16_t fill) {
  if (size < 0) throw platform::FailureInvalidProcedureCall();
  try {
    return Text(static_cast<std::size_t>(size), fill);
  } catch (const std::bad_alloc&) {
    throw platform::FailureOutOfMemory();
  }
}

// Position (from 1) of the first NUL as a 16-bit Integer; 0 when there is none.
platform::Integer FirstNulPosition(const Text& text) {
  const auto at = text.find(u'\0');
  if (at == Text::npos) return 0;
  if (at + 1 > 32767) throw platform::FailureOverflow();
  return static_cast<platform::Integer>(at + 1);
}

}  // namespace

platform::Boolean QueryValue(platform::Platform& platform, Long& lPredefinedKey,
                             Text& sKeyName, Text& sValueName) {
  Long key = 0;
  {
    AnsiArg key_name(platform, sKeyName);
    platform.RegOpenKeyExA(lPredefinedKey, key_name.bytes(), 0, kQueryValueAccess, key);
  }
  Variant value;
  QueryValueEx(platform, key, sValueName, value);
  platform.RegCloseKey(key);
  return TrimBlanks(value.TextForm()).empty() ? platform::kFalse : platform::kTrue;
}

Long QueryValueEx(platform::Platform& platform, Long lhKey, Text szValueName,
                  Variant& vValue) {
  Long status = 0;
  try {
    Long type = 0;
    Long size = 0;
    {
      AnsiArg name(platform, szValueName);
      status = platform.RegQueryValueExA(lhKey, name.bytes(), 0, type, nullptr, size);
    }
    if (status != 0) throw platform::FailureInvalidProcedureCall();

    if (type == platform::kRegSz) {
      Text buffer = FilledText(size, u'\0');
      {
        AnsiArg name(platform, szValueName);
        AnsiArg data(platform, buffer);
        status = platform.RegQueryValueExA(lhKey, name.bytes(), 0, type, data.data(), size);
      }
      if (status == 0) {
        vValue = Variant(buffer.substr(0, static_cast<std::size_t>(std::max<Long>(size, 0))));
      } else {
        vValue = Variant();
      }
    } else if (type == platform::kRegDword) {
      // Never let Windows write past the 32-bit number: a longer value gets a
      // 4-byte buffer and answers 234, more data.
      Long number = 0;
      Long buffer_size = std::min<Long>(size, sizeof number);
      AnsiArg name(platform, szValueName);
      status = platform.RegQueryValueExA(lhKey, name.bytes(), 0, type,
                                         reinterpret_cast<std::uint8_t*>(&number),
                                         buffer_size);
      if (status == 0) vValue = Variant(number);
    } else {
      status = -1;
    }
  } catch (const platform::RuntimeFailure&) {
    return status;
  }
  return status;
}

Variant get_reg_value(platform::Platform& platform, Long& lRoot, Text& sKeyPath,
                      Text& sValueName) {
  Long key = 0;
  {
    AnsiArg key_path(platform, sKeyPath);
    platform.RegOpenKeyA(lRoot, key_path.bytes(), key);
  }
  Variant result;
  try {
    Long type = 0;
    Long size = 0;
    {
      AnsiArg name(platform, sValueName);
      platform.RegQueryValueExA(key, name.bytes(), 0, type, nullptr, size);
    }
    if (type == platform::kRegSz) {
      Text buffer = FilledText(size, u' ');
      Long read_type = 0;
      Long status = 0;
      {
        AnsiArg name(platform, sValueName);
        AnsiArg data(platform, buffer);
        status = platform.RegQueryValueExA(key, name.bytes(), 0, read_type, data.data(), size);
      }
      if (status == 0) {
        const platform::Integer nul = FirstNulPosition(buffer);
        result = Variant(nul == 0 ? buffer : buffer.substr(0, static_cast<std::size_t>(nul - 1)));
      }
    }
  } catch (...) {
    // Nothing handles the failure here; the key is released on its way up.
    platform.RegCloseKey(key);
    throw;
  }
  platform.RegCloseKey(key);
  if (result.IsEmpty() || result.text().empty()) result = Variant(Text(kSentinel));
  return result;
}

}  // namespace registry
