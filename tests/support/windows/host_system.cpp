#include "tests/support/host_system.h"

#include <windows.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

#include "tests/support/rom_image.h"

namespace {

std::wstring wide(const std::string& text) {
  std::wstring result(text.size(), L'\0');
  int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                   result.data(), static_cast<int>(result.size()));
  result.resize(static_cast<std::size_t>(length));
  return result;
}

}  // namespace

// Wine starts a host program for a Windows one, but gives it no handle to wait on or to read the
// exit status from: the shell writes the status to a file when the command has ended.
int run_host_command(const std::string& command) {
  TempDir dir;
  const std::string status = host_path(dir.path()) + "/status";
  std::ofstream(dir.path() / "command.sh", std::ios::binary)
      << command << "\necho $? > '" << status << ".part' && mv '" << status << ".part' '" << status
      << "'\n";
  std::wstring line = L"/bin/sh \"" + wide(host_path(dir.path() / "command.sh")) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return -1;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while (!std::filesystem::exists(dir.path() / "status")) {
    if (std::chrono::steady_clock::now() > deadline) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  int code = -1;
  std::ifstream(dir.path() / "status") >> code;
  return code;
}

// Wine's own call names the host's file for a Windows path.
std::string host_path(const std::filesystem::path& path) {
  using UnixFileName = char*(CDECL*)(const WCHAR*);
  static const auto unix_file_name = reinterpret_cast<UnixFileName>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  const std::wstring absolute = std::filesystem::absolute(path).wstring();
  char* name = unix_file_name ? unix_file_name(absolute.c_str()) : nullptr;
  if (!name) return path.string();
  std::string result = name;
  HeapFree(GetProcessHeap(), 0, name);
  return result;
}

std::vector<MappedRegion> memory_regions() {
  std::vector<MappedRegion> regions;
  MEMORY_BASIC_INFORMATION region;
  const char* address = nullptr;
  while (VirtualQuery(address, &region, sizeof region) == sizeof region) {
    if (region.State == MEM_COMMIT) {
      const DWORD protection = region.Protect & 0xFF;
      const bool executable = protection == PAGE_EXECUTE || protection == PAGE_EXECUTE_READ ||
                              protection == PAGE_EXECUTE_READWRITE ||
                              protection == PAGE_EXECUTE_WRITECOPY;
      const bool writable = protection == PAGE_READWRITE || protection == PAGE_WRITECOPY ||
                            protection == PAGE_EXECUTE_READWRITE ||
                            protection == PAGE_EXECUTE_WRITECOPY;
      regions.push_back(
          {"region at " + std::to_string(reinterpret_cast<uintptr_t>(region.BaseAddress)), writable,
           executable});
    }
    address = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
  }
  return regions;
}

std::vector<std::string> paths_of_no_regular_file(const std::filesystem::path&) {
  return {"NUL", "CON", "\\\\.\\pipe\\korvel-no-such-pipe"};
}

int this_thread_rank() {
  return GetThreadPriority(GetCurrentThread());
}
