// The shared desktop cases (tests/ui/shared) on the Win32 window.
#include "tests/ui/win32/win32_desktop_driver.h"

namespace {

const bool registered = [] {
  register_desktop_cases([] { return std::make_unique<Win32DesktopDriver>(); });
  return true;
}();

}  // namespace
