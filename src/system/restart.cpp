#include "system/restart.h"

#include "system/os_version.h"

namespace sys {

using platform::Long;

namespace {
constexpr Long kRestartFlags = platform::kEwxShutdown | platform::kEwxReboot;
// dwReason: all bits set on the NT family, as the request has always been made.
constexpr Long kNtReason = static_cast<Long>(0xFFFFFFFFu);
constexpr Long kTokenAccess = platform::kTokenAdjustPrivileges | platform::kTokenQuery;
}  // namespace

void set_Privilege(platform::Platform& platform) {
  Long token = 0;
  platform::LUID luid{0, 0};
  platform::TOKEN_PRIVILEGES new_state{};
  platform::TOKEN_PRIVILEGES previous_state{};
  Long return_length = 0;

  const Long process = platform.GetCurrentProcess();
  platform.OpenProcessToken(process, kTokenAccess, token);
  platform.LookupPrivilegeValueA(platform::AnsiString(), "SeShutdownPrivilege", luid);
  new_state.PrivilegeCount = 1;
  new_state.Privileges[0].Luid = luid;
  new_state.Privileges[0].Attributes = platform::kSePrivilegeEnabled;
  platform.AdjustTokenPrivileges(token, 0, new_state, sizeof new_state,
                                 previous_state, return_length);
  // The token is ours to close; a 0 token (failed open) is not a handle.
  if (token != 0) platform.CloseHandle(token);
}

Long restart_Windows(platform::Platform& platform) {
  // Three fresh queries, one per name compared, all three always made.
  const bool me = get_OS(platform) == u"Windows Mellinnium";
  const bool w98 = get_OS(platform) == u"Windows 98";
  const bool w95 = get_OS(platform) == u"Windows 95";
  if (me || w98 || w95) {
    return platform.ExitWindowsEx(kRestartFlags, 0);
  }
  set_Privilege(platform);
  return platform.ExitWindowsEx(kRestartFlags, kNtReason);
}

}  // namespace sys

