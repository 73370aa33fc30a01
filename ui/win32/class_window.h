#pragma once

#include <windows.h>

// A window of a window class of its own, whose messages go to this object from WM_NCCREATE to
// WM_NCDESTROY. Each of the program's windows carries its icon. Window thread only.
class ClassWindow {
 public:
  ClassWindow() = default;
  // Destroys the window if it is still there, when nothing of the derived object is left to handle
  // its last messages: a class that needs them destroys it in its own destructor.
  virtual ~ClassWindow();
  ClassWindow(const ClassWindow&) = delete;
  ClassWindow& operator=(const ClassWindow&) = delete;

  // Null before it is created, when creating it failed, and once it is destroyed.
  HWND handle() const { return window_; }

 protected:
  // Registers `window_class` the first time (its procedure, instance, icons and cursor filled in)
  // and creates the window, at the system's default place and size and not shown yet.
  void create(WNDCLASSEXA window_class, DWORD ex_style, const char* title, DWORD style, HWND owner,
              HMENU menu);
  // Destroys the window while this object still handles its last messages.
  void destroy();

  // Every message from WM_NCCREATE to WM_DESTROY; those it leaves alone it passes on to
  // DefWindowProcA.
  virtual LRESULT on_message(UINT message, WPARAM wparam, LPARAM lparam) = 0;

  // The client area made `width` x `height` pixels at 96 DPI, scaled to the window's monitor.
  void set_client_size(int width, int height);
  // WM_DPICHANGED: the window keeps its place on the new monitor at that monitor's scale.
  void follow_dpi_change(LPARAM suggested);

 private:
  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  HWND window_ = nullptr;
};

// `pixels` pixels at 96 DPI at the scale of `window`'s monitor.
int scaled_for(HWND window, int pixels);
