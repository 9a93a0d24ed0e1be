#include "system/os_version.h"

#include <cstring>

namespace sys {

using platform::Text;

platform::Text get_OS(platform::Platform& platform) {
  platform::OSVERSIONINFOA info;
  std::memset(&info, 0, sizeof info);
  info.dwOSVersionInfoSize = sizeof info;
  // Blanks, not zeros, and no terminator: the record goes out exactly so.
  std::memset(info.szCSDVersion, ' ', sizeof info.szCSDVersion);
  platform.GetVersionExA(info);  // a failed query leaves platform id 0
  return OsName(info);
}

platform::Text OsName(const platform::OSVERSIONINFOA& info) {
  switch (info.dwPlatformId) {
    case platform::kVerPlatformWin32Windows:
      switch (info.dwMinorVersion) {
        case 0: return u"Windows 95";
        case 10: return u"Windows 98";
        case 90: return u"Windows Mellinnium";
        default: return Text();
      }
    case platform::kVerPlatformWin32Nt:
      switch (info.dwMajorVersion) {
        case 3: return u"Windows NT 3.51";
        case 4: return u"Windows NT 4.0";
        case 5: return info.dwMinorVersion == 0 ? u"Windows 2000" : u"Windows XP";
        default: return Text();
      }
    default:
      return u"Failed";
  }
}

}  // namespace sys
