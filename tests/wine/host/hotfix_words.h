// What Hotfix.exe shows and reports, word for word.
#pragma once

namespace wine_harness {

inline constexpr const char* kRestartTitle = "Reboot";
inline constexpr const char* kRestartText =
    "Riavviare Windows per rendere effettive le modifiche apportate. Riavviare adesso?";
inline constexpr unsigned kRestartStyle = 292;  // Yes/No, question mark, No the default

inline constexpr const char* kErrorTitle = "Hotfix";
inline constexpr const char* kFileNotFoundText = "Run-time error '53':\r\n\r\nFile not found";
inline constexpr unsigned kErrorStyle = 16;  // OK only, stop sign

inline constexpr const char* kWarningTitle = "Orvane Firewall v3.03 Hotfix (CR 40517)";
// Paragraphs end with two bare carriage returns; "\xC3\xA8" is e-grave in UTF-8.
inline constexpr const char* kWarningText =
    "Questo aggiornamento rapido si applica solo alle installazioni di Orvane "
    "Firewall v3.03 su Windows XP.\r\r"
    "Per stabilire quale versione di Firewall \xC3\xA8 installata, fare riferimento a "
    "Informazioni su Orvane Firewall.  Se \xC3\xA8 installata una versione precedente "
    "di Orvane Firewall v3.x, \xC3\xA8 possibile aggiornarla eseguendo Brisk Updater.\r\r"
    "Per ulteriori informazioni, visitare http://www.orvane.it/supporto";
inline constexpr unsigned kWarningStyle = 48;  // OK only, exclamation mark

// Shown before the warning when trk.exe has no readable version information.
inline constexpr const char* kNoticeTitle = "Hotfix";
inline constexpr const char* kNoVersionInfoText = "No Version Info available!";
inline constexpr unsigned kNoticeStyle = 0;  // OK only, no icon

inline constexpr const char* kUninstallKey =
    "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
    "{D13A6F58-02C7-4E9B-8B21-7F4C05E9A6D3}";
inline constexpr const char* kFirewallKey = "HKLM\\SOFTWARE\\Orvane\\Orvane firewall";
inline constexpr const char* kTrkWindowsPath = "C:\\Program Files\\Orvane\\Firewall\\trk.exe";

// Exit statuses, as Windows Installer names them.
inline constexpr unsigned long kRestartRequired = 3010;   // ERROR_SUCCESS_REBOOT_REQUIRED
inline constexpr unsigned long kRestartInitiated = 1641;  // ERROR_SUCCESS_REBOOT_INITIATED
inline constexpr unsigned long kInstallFailure = 1603;    // ERROR_INSTALL_FAILURE
inline constexpr unsigned long kNotApplicable = 1642;     // ERROR_PATCH_TARGET_NOT_FOUND

}  // namespace wine_harness
