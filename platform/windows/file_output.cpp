#include "platform/file_output.h"

#include <windows.h>

#include <algorithm>

#include "base/windows/wide_path.h"
#include "error_text.h"

namespace {

// The volume and index that identify a file, whatever its path: opened with no access and backup
// semantics, which reaches folders too and follows links.
bool file_identity(const std::wstring& path, BY_HANDLE_FILE_INFORMATION& info) {
  const HANDLE file =
      CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool known = GetFileInformationByHandle(file, &info);
  CloseHandle(file);
  return known;
}

// A file of our own beside `target`, made afresh (never one that exists); its name in `name`.
HANDLE create_beside(const std::wstring& target, std::wstring& name) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = target + L".new-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(attempt);
    const HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return file;
  }
  return INVALID_HANDLE_VALUE;
}

bool write_all(HANDLE file, std::span<const uint8_t> bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
    bytes = bytes.subspan(written);
  }
  return true;
}

}  // namespace

std::string write_file_whole(const std::string& path, std::span<const uint8_t> bytes) {
  const std::wstring target = wide_path(path.c_str());
  if (target.empty()) return "not a path in UTF-8";
  const DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
    return "not a regular file";
  }
  std::wstring name;
  const HANDLE file = create_beside(target, name);
  if (file == INVALID_HANDLE_VALUE) return error_text(GetLastError());
  // On the disk before it takes the name, so that no crash can leave the name to a partial file.
  bool written = write_all(file, bytes) && FlushFileBuffers(file);
  DWORD error = GetLastError();
  CloseHandle(file);
  if (written) {
    if (MoveFileExW(name.c_str(), target.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return {};
    }
    error = GetLastError();
  }
  DeleteFileW(name.c_str());
  return error_text(error);
}

bool same_file(const std::string& first, const std::string& second) {
  BY_HANDLE_FILE_INFORMATION a, b;
  const std::wstring first_wide = wide_path(first.c_str());
  const std::wstring second_wide = wide_path(second.c_str());
  return !first_wide.empty() && !second_wide.empty() && file_identity(first_wide, a) &&
         file_identity(second_wide, b) && a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
         a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}
