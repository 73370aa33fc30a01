// The shared desktop cases (tests/ui/shared) on the Qt window.
#include "tests/ui/qt/main_window_fixture.h"

namespace {

const bool registered = [] {
  register_desktop_cases([] { return std::make_unique<QtDesktopDriver>(); });
  return true;
}();

}  // namespace
