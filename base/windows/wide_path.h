#pragma once

#include <exception>
#include <filesystem>
#include <string>

// A path in UTF-8, as Windows' wide calls take it: absolute, with the \\?\ prefix that lifts the
// 260-character limit of the plain calls. The prefix also turns off the system's own reading of
// "." and "..", so they are resolved here as the plain calls would. Empty when it is no UTF-8.
inline std::wstring wide_path(const char* path) {
  try {
    const std::filesystem::path named(std::u8string(reinterpret_cast<const char8_t*>(path)));
    std::filesystem::path absolute = std::filesystem::absolute(named).make_preferred();
    // A device (\\.\NUL), a share or a path prefixed already stays as it is.
    if (absolute.wstring().starts_with(L"\\\\")) return absolute.wstring();
    return L"\\\\?\\" + absolute.lexically_normal().wstring();
  } catch (const std::exception&) {
    return {};
  }
}
