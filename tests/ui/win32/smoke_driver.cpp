// Drives a running korvel.exe from outside, as a user would: waits for its window to show the demo,
// opens the Commands and GPR windows, chooses Start CPU, waits for the "Breakpoint Encountered"
// box, then presses the box's OK and chooses Exit. Each step prints one line; at "picture: NAME" it
// waits for a line on standard input while the screen is taken. The exit status is 0 when the
// program ended.
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
  std::printf("picture: %s\n", name);
  std::fflush(stdout);
  std::string taken;
  std::getline(std::cin, taken);
}

int fail(const char* what) {
  std::printf("failed: %s\n", what);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return fail("usage: korvel_smoke_driver ROM_PATH");
  const std::string loaded_title = std::string("Korvel - ") + argv[1];
  const HWND main_window = wait_for([&] {
    HWND window = FindWindowA("Korvel", nullptr);
    return window && text_of(window) == loaded_title ? window : nullptr;
  });
  if (!main_window) return fail("no window titled with the ROM");
  std::printf("title: %s\n", text_of(main_window).c_str());
  picture(main_window, "loaded");

  for (const auto& [id, title] : {std::pair{kCmdCommandsWindow, "Commands"},
                                  std::pair{kCmdGprWindow, "General Purpose Registers"}}) {
    PostMessageA(main_window, WM_COMMAND, id, 0);
    if (!wait_for([title] { return FindWindowA("#32770", title); })) return fail(title);
    std::printf("window: %s\n", title);
  }
  picture(main_window, "debugger");

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
