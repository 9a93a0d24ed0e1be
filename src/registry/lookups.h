// The fixed product lookups and the registry locations the program reads.
#pragma once

#include "platform/platform.h"

namespace registry {

// Uninstall entries tested with QueryValue ("SOFTWARE" in capitals).
inline constexpr char16_t kSuiteUninstallKey[] =
    u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{4B7D2E19-6C0A-11D1-9E53-2A61C8F07B34}";
inline constexpr char16_t kFirewallUninstallKey[] =
    u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{D13A6F58-02C7-4E9B-8B21-7F4C05E9A6D3}";
inline constexpr char16_t kDisplayName[] = u"DisplayName";

// Product keys read with get_reg_value ("Software", "firewall" as written).
inline constexpr char16_t kSuiteSetupKey[] =
    u"Software\\Orvane\\Orvane Internet Security\\CurrentVersion\\Setup";
inline constexpr char16_t kSuiteLocationValue[] = u"Location";
inline constexpr char16_t kFirewallKey[] = u"Software\\Orvane\\Orvane firewall";
inline constexpr char16_t kFirewallInstallPathValue[] = u"Installpath";
inline constexpr char16_t kUpdaterProgramKey[] =
    u"Software\\Orvane\\Orvane Shared Components\\Updater\\Settings\\Products\\Valto\\Program";
inline constexpr char16_t kLanguageValue[] = u"Language";

// The three fields every lookup fills before it reads, then reads through.
struct LookupFields {
  platform::Long& lRegRoot;
  platform::Text& sRegKey;
  platform::Text& sRegValueName;
};

// Each sets the fields to its location and returns the text get_reg_value
// gives (the value cut at its first NUL, or the sentinel text).
platform::Text get_reg_Kesta(platform::Platform& platform, LookupFields fields);
platform::Text get_reg_Valto(platform::Platform& platform, LookupFields fields);
platform::Text get_lang_code(platform::Platform& platform, LookupFields fields);

}  // namespace registry
