// Drives a running korvel.exe from outside, as a user would: waits for its window to show the demo,
// opens the Commands window, then the GPR window over it, opens About and reads the size of its
// picture at the dialog's DPI, chooses Start CPU, waits for the "Breakpoint Encountered" box, then
// presses the box's OK and chooses Exit. Each step prints one line; at "picture: NAME" it waits for
// a line on standard input while the screen is taken. The exit status is 0 when the program ended.
//   korvel_smoke_driver ROM_PATH
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <iostream>
#include <string>
#include <thread>
#include <utility>

#include "resources/menu.h"

namespace {

std::string text_of(HWND window) {
  char text[512] = {};
  GetWindowTextA(window, text, sizeof(text));
  return text;
}

// Polls `found` until it gives a window; null after a minute (Wine may be starting its services).
HWND wait_for(const std::function<HWND()>& found) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  while (std::chrono::steady_clock::now() < deadline) {
    if (HWND window = found()) return window;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return nullptr;
}

// Lets the screen be taken once `window`'s program has drawn what it was asked to: it has handled
// every message sent before, and waits for input with nothing left to paint.
void picture(HWND window, const char* name) {
  DWORD process_id = 0;
  GetWindowThreadProcessId(window, &process_id);
  SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_BLOCK, 10000, nullptr);
  if (HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, process_id)) {
    WaitForInputIdle(process, 10000);
    CloseHandle(process);
  }
  // The controls of a window just shown may still be waiting for their turn to paint.
  RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  std::printf("picture: %s\n", name);
  std::fflush(stdout);
  std::string taken;
  std::getline(std::cin, taken);
}

// The picture control of `dialog`, or null.
HWND picture_of(HWND dialog) {
  for (HWND control = GetWindow(dialog, GW_CHILD); control;
       control = GetWindow(control, GW_HWNDNEXT)) {
    char class_name[16] = {};
    GetClassNameA(control, class_name, sizeof(class_name));
    if (_stricmp(class_name, "Static") == 0 &&
        (GetWindowLongPtrA(control, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP)
      return control;
  }
  return nullptr;
}

int fail(const char* what) {
  std::printf("failed: %s\n", what);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return fail("usage: korvel_smoke_driver ROM_PATH");
  // Sizes in korvel.exe's own pixels, whatever this program's DPI.
  SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
  const std::string loaded_title = std::string("Korvel - ") + argv[1];
  const HWND main_window = wait_for([&] {
    HWND window = FindWindowA("Korvel", nullptr);
    return window && text_of(window) == loaded_title ? window : nullptr;
  });
  if (!main_window) return fail("no window titled with the ROM");
  std::printf("title: %s\n", text_of(main_window).c_str());
  picture(main_window, "loaded");

  struct DebuggerWindow {
    int id;
    const char* title;
    const char* picture_name;
  };
  for (const DebuggerWindow& shown :
       {DebuggerWindow{kCmdCommandsWindow, "Commands", "commands"},
        DebuggerWindow{kCmdGprWindow, "General Purpose Registers", "debugger"}}) {
    PostMessageA(main_window, WM_COMMAND, shown.id, 0);
    const HWND window = wait_for([&] { return FindWindowA("#32770", shown.title); });
    if (!window) return fail(shown.title);
    std::printf("window: %s\n", shown.title);
    picture(window, shown.picture_name);
  }

  PostMessageA(main_window, WM_COMMAND, kCmdAbout, 0);
  // Shown once its controls are set up.
  const HWND about = wait_for([] {
    HWND window = FindWindowA("#32770", "About Korvel");
    return window && IsWindowVisible(window) ? window : nullptr;
  });
  if (!about) return fail("About Korvel");
  const HWND about_picture = picture_of(about);
  if (!about_picture) return fail("no picture in About");
  RECT picture_size;
  GetClientRect(about_picture, &picture_size);
  std::printf("about: picture %ldx%ld at %u DPI\n", picture_size.right, picture_size.bottom,
              GetDpiForWindow(about));
  picture(about, "about");
  PostMessageA(about, WM_COMMAND, IDCANCEL, 0);
  if (!wait_for([&] { return IsWindow(about) ? nullptr : main_window; }))
    return fail("About stayed");

  PostMessageA(main_window, WM_COMMAND, kCmdStartCpu, 0);
  const HWND box = wait_for([&] {
    HWND window = FindWindowA("#32770", "Breakpoint Encountered");
    return window && GetWindow(window, GW_OWNER) == main_window ? window : nullptr;
  });
  if (!box) return fail("no Breakpoint Encountered box owned by the window");
  std::string text(256, '\0');
  text.resize(GetDlgItemTextA(box, 0xFFFF, text.data(), static_cast<int>(text.size())));
  if (!text.empty() && text.back() == '\n') text.pop_back();
  std::printf("box: Breakpoint Encountered: %s\n", text.c_str());
  std::printf("title: %s\n", text_of(main_window).c_str());
  picture(main_window, "breakpoint");

  PostMessageA(box, WM_COMMAND, IDOK, 0);
  if (!wait_for([&] { return IsWindow(box) ? nullptr : main_window; }))
    return fail("the box stayed");
  PostMessageA(main_window, WM_COMMAND, kCmdExit, 0);
  if (!wait_for([&] { return IsWindow(main_window) ? nullptr : box; }))
    return fail("the window stayed after Exit");
  std::printf("ended\n");
  return 0;
}
