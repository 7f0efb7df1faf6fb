// SPDX-License-Identifier: GPL-3.0-or-later
// Watches the cable's link interface from a Windows program, the way the
// window and the command line find it.
//
//   LinkWatch.exe wait present|absent SECONDS
//     Polls the present link interfaces until one is there (its path is
//     printed) or none is; exits 1 when SECONDS pass first.
//   LinkWatch.exe hold SECONDS
//     Stays for SECONDS (or until it is killed) with a window registered for
//     the interface's device-change notices, and prints one line for each
//     notice it is sent ("arrival PATH", "removal PATH", "other CODE").
//     While it runs, the session and the drivers loaded in it stay up.
//
// Output is flushed line by line, so that a script can follow it.
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <windows.h>
#include <dbt.h>
#include <setupapi.h>

#include "driver/BridgewickPublic.h"

namespace {

GUID InterfaceClass() {
  static_assert(sizeof(GUID) == sizeof(LinkInterfaceGuid));
  GUID Guid;
  std::memcpy(&Guid, &LinkInterfaceGuid, sizeof Guid);
  return Guid;
}

// The path of the first present link interface, or "" when there is none.
std::string FirstPresentLink() {
  const GUID Guid = InterfaceClass();
  HDEVINFO Set = SetupDiGetClassDevsA(&Guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (Set == INVALID_HANDLE_VALUE) return "";
  std::string Path;
  SP_DEVICE_INTERFACE_DATA Interface{};
  Interface.cbSize = sizeof Interface;
  if (SetupDiEnumDeviceInterfaces(Set, nullptr, &Guid, 0, &Interface)) {
    DWORD Required = 0;
    SetupDiGetDeviceInterfaceDetailA(Set, &Interface, nullptr, 0, &Required, nullptr);
    if (Required > sizeof(DWORD) && Required < 65536) {
      std::string Buffer(Required + sizeof(DWORD), '\0');
      auto* Detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(Buffer.data());
      Detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
      if (SetupDiGetDeviceInterfaceDetailA(Set, &Interface, Detail, Required, nullptr, nullptr))
        Path = Detail->DevicePath;
    }
  }
  SetupDiDestroyDeviceInfoList(Set);
  return Path;
}

int Wait(bool Present, DWORD Seconds) {
  const ULONGLONG End = GetTickCount64() + Seconds * 1000ULL;
  for (;;) {
    const std::string Path = FirstPresentLink();
    if (Present && !Path.empty()) {
      std::printf("%s\n", Path.c_str());
      return 0;
    }
    if (!Present && Path.empty()) return 0;
    if (GetTickCount64() >= End) {
      std::fprintf(stderr, "LinkWatch: the link interface is %s after %lu s\n", Present ? "not there" : "still there",
                   Seconds);
      return 1;
    }
    Sleep(50);
  }
}

// The interface path of a notice. A window registered with the ANSI call
// should be sent the ANSI record; a path whose second byte is zero came as
// the wide one, and is said so.
std::string NoticePath(LPARAM LParam) {
  const auto* Header = reinterpret_cast<const DEV_BROADCAST_HDR*>(LParam);
  if (!Header) return "(no record)";
  if (Header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE) return "(record of type " + std::to_string(Header->dbch_devicetype) + ")";
  const auto* Ansi = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_A*>(LParam);
  const size_t Room = Header->dbch_size > offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name)
                          ? Header->dbch_size - offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name)
                          : 0;
  if (Room >= 2 && Ansi->dbcc_name[0] && !Ansi->dbcc_name[1]) {
    std::string Path;
    const auto* Wide = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(LParam)->dbcc_name;
    for (size_t I = 0; I < Room / 2 && Wide[I]; ++I) Path += Wide[I] < 128 ? static_cast<char>(Wide[I]) : '?';
    return Path + " (as the wide record)";
  }
  return std::string(Ansi->dbcc_name, strnlen(Ansi->dbcc_name, Room));
}

LRESULT CALLBACK Notice(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg != WM_DEVICECHANGE) return DefWindowProcA(Window, Msg, WParam, LParam);
  if (WParam == DBT_DEVICEARRIVAL)
    std::printf("arrival %s\n", NoticePath(LParam).c_str());
  else if (WParam == DBT_DEVICEREMOVECOMPLETE)
    std::printf("removal %s\n", NoticePath(LParam).c_str());
  else
    std::printf("other %#llx\n", static_cast<unsigned long long>(WParam));
  std::fflush(stdout);
  return TRUE;
}

int Hold(DWORD Seconds) {
  WNDCLASSA Class{};
  Class.lpfnWndProc = Notice;
  Class.hInstance = GetModuleHandleA(nullptr);
  Class.lpszClassName = "LinkWatch";
  RegisterClassA(&Class);
  HWND Window = CreateWindowA("LinkWatch", "LinkWatch", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                              Class.hInstance, nullptr);
  if (!Window) {
    std::fprintf(stderr, "LinkWatch: no window (error %lu)\n", GetLastError());
    return 1;
  }
  DEV_BROADCAST_DEVICEINTERFACE_A Filter{};
  Filter.dbcc_size = sizeof Filter;
  Filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  Filter.dbcc_classguid = InterfaceClass();
  if (!RegisterDeviceNotificationA(Window, &Filter, DEVICE_NOTIFY_WINDOW_HANDLE))
    std::fprintf(stderr, "LinkWatch: device notices not registered (error %lu)\n", GetLastError());
  std::printf("holding\n");
  std::fflush(stdout);
  SetTimer(Window, 1, Seconds * 1000, nullptr);
  MSG Msg;
  while (GetMessageA(&Msg, nullptr, 0, 0) > 0) {
    if (Msg.message == WM_TIMER && Msg.hwnd == Window) break;
    DispatchMessageA(&Msg);
  }
  return 0;
}

DWORD SecondsOf(const char* Text) {
  char* End = nullptr;
  const unsigned long Value = std::strtoul(Text, &End, 10);
  return (*Text && !*End && Value > 0 && Value < 86400) ? static_cast<DWORD>(Value) : 0;
}

}  // namespace

int main(int argc, char** argv) {
  setvbuf(stdout, nullptr, _IOLBF, 1024);
  if (argc == 4 && !std::strcmp(argv[1], "wait") && SecondsOf(argv[3]) &&
      (!std::strcmp(argv[2], "present") || !std::strcmp(argv[2], "absent")))
    return Wait(!std::strcmp(argv[2], "present"), SecondsOf(argv[3]));
  if (argc == 3 && !std::strcmp(argv[1], "hold") && SecondsOf(argv[2])) return Hold(SecondsOf(argv[2]));
  std::fprintf(stderr, "usage: LinkWatch wait present|absent SECONDS | LinkWatch hold SECONDS\n");
  return 2;
}
