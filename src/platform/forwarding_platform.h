// A platform that passes every call on to another one: the base of a layer
// that changes or observes some calls (the deployment layer), which then
// overrides only those. A call added to Platform is passed on here, once.
#pragma once

#include "platform/platform.h"

namespace platform {

class ForwardingPlatform : public Platform {
 public:
  explicit ForwardingPlatform(Platform& inner) : inner_(inner) {}
  ForwardingPlatform(const ForwardingPlatform&) = delete;
  ForwardingPlatform& operator=(const ForwardingPlatform&) = delete;

  Long GetFileVersionInfoSizeA(const AnsiString& lptstrFilename, Long& lpdwHandle) override {
    return inner_.GetFileVersionInfoSizeA(lptstrFilename, lpdwHandle);
  }
  Long GetFileVersionInfoA(const AnsiString& lptstrFilename, Long dwHandle, Long dwLen,
                           std::uint8_t* lpData) override {
    return inner_.GetFileVersionInfoA(lptstrFilename, dwHandle, dwLen, lpData);
  }
  Long VerQueryValueA(const std::uint8_t* pBlock, const AnsiString& lpSubBlock,
                      const std::uint8_t*& lplpBuffer, Long& puLen) override {
    return inner_.VerQueryValueA(pBlock, lpSubBlock, lplpBuffer, puLen);
  }
  void RtlMoveMemory(void* Destination, const void* Source, Long Length) override {
    inner_.RtlMoveMemory(Destination, Source, Length);
  }
  Long RegOpenKeyExA(Long hKey, const AnsiString& lpSubKey, Long ulOptions, Long samDesired,
                     Long& phkResult) override {
    return inner_.RegOpenKeyExA(hKey, lpSubKey, ulOptions, samDesired, phkResult);
  }
  Long RegQueryValueExA(Long hKey, const AnsiString& lpValueName, Long lpReserved, Long& lpType,
                        std::uint8_t* lpData, Long& lpcbData) override {
    return inner_.RegQueryValueExA(hKey, lpValueName, lpReserved, lpType, lpData, lpcbData);
  }
  Long RegOpenKeyA(Long hKey, const AnsiString& lpSubKey, Long& phkResult) override {
    return inner_.RegOpenKeyA(hKey, lpSubKey, phkResult);
  }
  Long RegCloseKey(Long hKey) override { return inner_.RegCloseKey(hKey); }
  Long GetVersionExA(OSVERSIONINFOA& lpVersionInformation) override {
    return inner_.GetVersionExA(lpVersionInformation);
  }
  Long OpenProcess(Long dwDesiredAccess, Long bInheritHandle, Long dwProcessId) override {
    return inner_.OpenProcess(dwDesiredAccess, bInheritHandle, dwProcessId);
  }
  Long CloseHandle(Long hObject) override { return inner_.CloseHandle(hObject); }
  Long GetCurrentProcess() override { return inner_.GetCurrentProcess(); }
  Long OpenProcessToken(Long ProcessHandle, Long DesiredAccess, Long& TokenHandle) override {
    return inner_.OpenProcessToken(ProcessHandle, DesiredAccess, TokenHandle);
  }
  Long LookupPrivilegeValueA(const AnsiString& lpSystemName, const AnsiString& lpName,
                             LUID& lpLuid) override {
    return inner_.LookupPrivilegeValueA(lpSystemName, lpName, lpLuid);
  }
  Long AdjustTokenPrivileges(Long TokenHandle, Long DisableAllPrivileges,
                             const TOKEN_PRIVILEGES& NewState, Long BufferLength,
                             TOKEN_PRIVILEGES& PreviousState, Long& ReturnLength) override {
    return inner_.AdjustTokenPrivileges(TokenHandle, DisableAllPrivileges, NewState,
                                        BufferLength, PreviousState, ReturnLength);
  }
  Long ExitWindowsEx(Long uFlags, Long dwReason) override {
    return inner_.ExitWindowsEx(uFlags, dwReason);
  }
  Long MsgBox(const Text& prompt, Long buttons, const std::optional<Text>& title) override {
    return inner_.MsgBox(prompt, buttons, title);
  }
  double Shell(const Text& pathName, Long windowStyle, ProgramName program) override {
    return inner_.Shell(pathName, windowStyle, program);
  }
  void DoEvents() override { inner_.DoEvents(); }
  Text AppPath() override { return inner_.AppPath(); }
  void Print(const Text& line) override { inner_.Print(line); }
  void Unload() override { inner_.Unload(); }
  AnsiString ToAnsi(std::u16string_view text) const override { return inner_.ToAnsi(text); }
  Text FromAnsi(std::string_view ansi) const override { return inner_.FromAnsi(ansi); }
  Long WaitForSingleObject(Long hHandle, Long dwMilliseconds) override {
    return inner_.WaitForSingleObject(hHandle, dwMilliseconds);
  }

 protected:
  // The platform the calls go to, for a layer's own use.
  Platform& inner() const { return inner_; }
  void DoEnd(Long exitCode) override { inner_.End(exitCode); }

 private:
  Platform& inner_;
};

}  // namespace platform
