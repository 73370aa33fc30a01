#include "ui/win32/class_window.h"

#include "resources/menu.h"

namespace {

bool register_once(WNDCLASSEXA window_class) {
  WNDCLASSEXA registered{};
  registered.cbSize = sizeof(registered);
  if (GetClassInfoExA(window_class.hInstance, window_class.lpszClassName, &registered)) return true;
  window_class.cbSize = sizeof(window_class);
  window_class.hIcon = LoadIconA(window_class.hInstance, kMenuName);
  window_class.hIconSm = static_cast<HICON>(
      LoadImageA(window_class.hInstance, kMenuName, IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                 GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
  window_class.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  return RegisterClassExA(&window_class) != 0;
}

}  // namespace

ClassWindow::~ClassWindow() {
  if (!window_) return;
  SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
  DestroyWindow(window_);
}

void ClassWindow::create(WNDCLASSEXA window_class, DWORD ex_style, const char* title, DWORD style,
                         HWND owner, HMENU menu) {
  window_class.lpfnWndProc = procedure;
  window_class.hInstance = GetModuleHandleA(nullptr);
  if (!register_once(window_class)) return;
  CreateWindowExA(ex_style, window_class.lpszClassName, title, style, CW_USEDEFAULT, CW_USEDEFAULT,
                  CW_USEDEFAULT, CW_USEDEFAULT, owner, menu, window_class.hInstance, this);
}

void ClassWindow::destroy() {
  if (window_) DestroyWindow(window_);
}

LRESULT CALLBACK ClassWindow::procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* created =
        static_cast<ClassWindow*>(reinterpret_cast<const CREATESTRUCTA*>(lparam)->lpCreateParams);
    created->window_ = window;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
  }
  auto* object = reinterpret_cast<ClassWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!object) return DefWindowProcA(window, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    object->window_ = nullptr;
    return DefWindowProcA(window, message, wparam, lparam);
  }
  return object->on_message(message, wparam, lparam);
}

void ClassWindow::set_client_size(int width, int height) {
  const LONG_PTR style = GetWindowLongPtrA(window_, GWL_STYLE);
  const LONG_PTR ex_style = GetWindowLongPtrA(window_, GWL_EXSTYLE);
  RECT frame{0, 0, scaled_for(window_, width), scaled_for(window_, height)};
  AdjustWindowRectExForDpi(&frame, static_cast<DWORD>(style), GetMenu(window_) != nullptr,
                           static_cast<DWORD>(ex_style), GetDpiForWindow(window_));
  SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void ClassWindow::follow_dpi_change(LPARAM suggested) {
  const RECT& place = *reinterpret_cast<const RECT*>(suggested);
  SetWindowPos(window_, nullptr, place.left, place.top, place.right - place.left,
               place.bottom - place.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

int scaled_for(HWND window, int pixels) {
  return MulDiv(pixels, static_cast<int>(GetDpiForWindow(window)), USER_DEFAULT_SCREEN_DPI);
}
