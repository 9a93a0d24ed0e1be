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

// Exit statuses, as Windows Installer names them.
inline constexpr unsigned long kRestartRequired = 3010;   // ERROR_SUCCESS_REBOOT_REQUIRED
inline constexpr unsigned long kRestartInitiated = 1641;  // ERROR_SUCCESS_REBOOT_INITIATED
inline constexpr unsigned long kInstallFailure = 1603;    // ERROR_INSTALL_FAILURE
inline constexpr unsigned long kNotApplicable = 1642;     // ERROR_PATCH_TARGET_NOT_FOUND

}  // namespace wine_harness
