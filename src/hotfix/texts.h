// The fixed texts and names of the gate and the suite operations.
#pragma once

#include "platform/text.h"

namespace hotfix {

inline constexpr char16_t kRequiredFileVersion[] = u"3.3.1000.0";
inline constexpr char16_t kRequiredWindows[] = u"Windows XP";

inline constexpr char16_t kApplicabilityTitle[] = u"Orvane Firewall v3.03 Hotfix (CR 40517)";
// The paragraphs are separated by two carriage returns each, never a line
// feed; "\xE8" is the one character e-grave (Latin-1, one byte a character).
inline constexpr platform::Latin1 kApplicabilityWarning{
    "Questo aggiornamento rapido si applica solo alle installazioni di Orvane "
    "Firewall v3.03 su Windows XP."
    "\r\r"
    "Per stabilire quale versione di Firewall \xE8 installata, fare riferimento a "
    "Informazioni su Orvane Firewall.  Se \xE8 installata una versione precedente "
    "di Orvane Firewall v3.x, \xE8 possibile aggiornarla eseguendo Brisk Updater."
    "\r\r"
    "Per ulteriori informazioni, visitare http://www.orvane.it/supporto"};

inline platform::Text ApplicabilityWarning() { return platform::Concat({kApplicabilityWarning}); }

inline constexpr char16_t kSuiteExe[] = u"Pellion.exe";
inline constexpr char16_t kFirewallExe[] = u"TRK.EXE";
inline constexpr char16_t kSuiteLookup[] = u"get_reg_Kesta";
inline constexpr char16_t kFirewallLookup[] = u"get_reg_Valto";
inline constexpr char16_t kUninstallArgument[] = u"/Uninstall";
inline constexpr char16_t kNotInstalledWarning[] =
    u"Orvane Internet Security or Orvane Firewall are not installed, Hotfix will now terminate. ";
inline constexpr char16_t kNotInstalledTitle[] = u"Terminating Orvane Hotfix ";

}  // namespace hotfix
