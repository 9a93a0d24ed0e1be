// Windows types and constants as the logic sees them: plain, fixed-size and
// free of <windows.h>. Constants carry a k prefix so that the Win32 side,
// where <windows.h> defines the same names as macros, can include this too.
// Layouts match the Win32 records byte for byte.
#pragma once

#include <cstdint>

namespace platform {

using Long = std::int32_t;     // 32-bit signed: handles, statuses, sizes
using Integer = std::int16_t;  // 16-bit signed
using Boolean = std::int16_t;  // 16-bit: true is -1, false is 0

inline constexpr Boolean kTrue = -1;
inline constexpr Boolean kFalse = 0;

// Predefined key as a 32-bit value; the Win32 side sign-extends it on 64-bit.
inline constexpr Long kHkeyLocalMachine = static_cast<Long>(0x80000002u);

inline constexpr Long kErrorSuccess = 0;
inline constexpr Long kErrorFileNotFound = 2;
inline constexpr Long kErrorPathNotFound = 3;
inline constexpr Long kErrorAccessDenied = 5;
inline constexpr Long kErrorInvalidHandle = 6;
inline constexpr Long kErrorNotEnoughMemory = 8;
inline constexpr Long kErrorInvalidParameter = 87;
inline constexpr Long kErrorMoreData = 234;
inline constexpr Long kErrorSharingViolation = 32;
inline constexpr Long kErrorInvalidName = 123;
inline constexpr Long kStillActive = 259;  // GetExitCodeProcess while it runs

inline constexpr Long kRegNone = 0;
inline constexpr Long kRegSz = 1;
inline constexpr Long kRegExpandSz = 2;
inline constexpr Long kRegBinary = 3;
inline constexpr Long kRegDword = 4;
inline constexpr Long kRegMultiSz = 7;
inline constexpr Long kRegQword = 11;

inline constexpr Long kKeyQueryValue = 0x0001;
inline constexpr Long kKeySetValue = 0x0002;
inline constexpr Long kKeyCreateSubKey = 0x0004;
inline constexpr Long kKeyEnumerateSubKeys = 0x0008;
inline constexpr Long kKeyNotify = 0x0010;
inline constexpr Long kKeyCreateLink = 0x0020;

inline constexpr Long kSynchronize = 0x00100000;
inline constexpr Long kWaitObject0 = 0;
inline constexpr Long kWaitTimeout = 258;
inline constexpr Long kWaitFailed = static_cast<Long>(0xFFFFFFFFu);

inline constexpr Long kTokenQuery = 0x0008;
inline constexpr Long kTokenAdjustPrivileges = 0x0020;
inline constexpr std::uint32_t kSePrivilegeEnabled = 2;

inline constexpr Long kEwxShutdown = 1;
inline constexpr Long kEwxReboot = 2;

inline constexpr Long kSwHide = 0;
inline constexpr Long kSwShowNormal = 1;

// Message-box styles and button codes.
inline constexpr Long kMbOk = 0;
inline constexpr Long kMbOkCancel = 1;
inline constexpr Long kMbAbortRetryIgnore = 2;
inline constexpr Long kMbYesNoCancel = 3;
inline constexpr Long kMbYesNo = 4;
inline constexpr Long kMbRetryCancel = 5;
inline constexpr Long kMbIconHand = 16;
inline constexpr Long kMbIconQuestion = 32;
inline constexpr Long kMbIconExclamation = 48;
inline constexpr Long kMbIconInformation = 64;
inline constexpr Long kMbDefButton2 = 256;
inline constexpr Long kIdOk = 1;
inline constexpr Long kIdCancel = 2;
inline constexpr Long kIdAbort = 3;
inline constexpr Long kIdRetry = 4;
inline constexpr Long kIdIgnore = 5;
inline constexpr Long kIdYes = 6;
inline constexpr Long kIdNo = 7;
// A countdown that reached zero unanswered (as MessageBoxTimeout's IDTIMEOUT).
inline constexpr Long kIdTimeout = 32000;
inline constexpr Long kInfinite = static_cast<Long>(0xFFFFFFFFu);

inline constexpr Long kVerPlatformWin32s = 0;
inline constexpr Long kVerPlatformWin32Windows = 1;
inline constexpr Long kVerPlatformWin32Nt = 2;

struct OSVERSIONINFOA {
  std::uint32_t dwOSVersionInfoSize;
  std::uint32_t dwMajorVersion;
  std::uint32_t dwMinorVersion;
  std::uint32_t dwBuildNumber;
  std::uint32_t dwPlatformId;
  char szCSDVersion[128];
};
static_assert(sizeof(OSVERSIONINFOA) == 148);

struct SYSTEMTIME {
  std::uint16_t wYear;
  std::uint16_t wMonth;
  std::uint16_t wDayOfWeek;
  std::uint16_t wDay;
  std::uint16_t wHour;
  std::uint16_t wMinute;
  std::uint16_t wSecond;
  std::uint16_t wMilliseconds;
};
static_assert(sizeof(SYSTEMTIME) == 16);

struct LUID {
  std::uint32_t LowPart;
  std::int32_t HighPart;
};

struct LUID_AND_ATTRIBUTES {
  LUID Luid;
  std::uint32_t Attributes;
};

struct TOKEN_PRIVILEGES {
  std::uint32_t PrivilegeCount;
  LUID_AND_ATTRIBUTES Privileges[1];
};
static_assert(sizeof(TOKEN_PRIVILEGES) == 16);

struct VS_FIXEDFILEINFO {
  std::uint32_t dwSignature;
  std::uint32_t dwStrucVersion;
  std::uint32_t dwFileVersionMS;
  std::uint32_t dwFileVersionLS;
  std::uint32_t dwProductVersionMS;
  std::uint32_t dwProductVersionLS;
  std::uint32_t dwFileFlagsMask;
  std::uint32_t dwFileFlags;
  std::uint32_t dwFileOS;
  std::uint32_t dwFileType;
  std::uint32_t dwFileSubtype;
  std::uint32_t dwFileDateMS;
  std::uint32_t dwFileDateLS;
};
static_assert(sizeof(VS_FIXEDFILEINFO) == 52);

}  // namespace platform
