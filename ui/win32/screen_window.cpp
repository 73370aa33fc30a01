#include "ui/win32/screen_window.h"

#include <cstddef>
#include <optional>
#include <string>

#include "platform/desktop/desktop_host.h"

namespace {

constexpr const char* kScreenClassName = "KorvelScreen";
constexpr const char* kLogClassName = "KorvelLog";
constexpr UINT_PTR kRefreshTimer = 1;
constexpr UINT_PTR kLogPollTimer = 1;
constexpr UINT kLogPollMilliseconds = 100;

struct VirtualScreenKey {
  WPARAM virtual_key;
  ScreenKey key;
};
// Enter on the number pad is VK_RETURN too.
constexpr VirtualScreenKey kKeys[] = {
    {VK_UP, ScreenKey::stick_up},
    {VK_DOWN, ScreenKey::stick_down},
    {VK_LEFT, ScreenKey::stick_left},
    {VK_RIGHT, ScreenKey::stick_right},
    {'I', ScreenKey::d_up},
    {'K', ScreenKey::d_down},
    {'J', ScreenKey::d_left},
    {'L', ScreenKey::d_right},
    {'X', ScreenKey::a},
    {'C', ScreenKey::b},
    {'Z', ScreenKey::z},
    {'A', ScreenKey::l},
    {'S', ScreenKey::r},
    {VK_RETURN, ScreenKey::start},
    {VK_NUMPAD8, ScreenKey::c_up},
    {VK_NUMPAD2, ScreenKey::c_down},
    {VK_NUMPAD4, ScreenKey::c_left},
    {VK_NUMPAD6, ScreenKey::c_right},
    {VK_TAB, ScreenKey::full_speed},
};

std::optional<ScreenKey> screen_key(WPARAM virtual_key) {
  for (const VirtualScreenKey& key : kKeys)
    if (key.virtual_key == virtual_key) return key.key;
  return std::nullopt;
}

// WM_KEYDOWN's bit 30: the key was down already, and this is the keyboard's repeat.
bool is_repeat(UINT message, LPARAM lparam) {
  return message == WM_KEYDOWN && (lparam & (1 << 30)) != 0;
}

// An edit control ends its lines with "\r\n".
std::string with_edit_line_ends(const std::string& text) {
  std::string converted;
  converted.reserve(text.size());
  for (char c : text) {
    if (c == '\n') converted += '\r';
    converted += c;
  }
  return converted;
}

}  // namespace

ScreenWindow::ScreenWindow(HWND owner) {
  WNDCLASSEXA window_class{};
  // The picture is centred: a new size draws it all again.
  window_class.style = CS_HREDRAW | CS_VREDRAW;
  window_class.lpszClassName = kScreenClassName;
  create(window_class, 0, "Screen", WS_OVERLAPPEDWINDOW, owner, nullptr);
  if (!handle()) return;
  set_client_size(640, 480);
  keep_refresh_rate();
}

void ScreenWindow::keep_refresh_rate() {
  const UINT wanted = static_cast<UINT>(ScreenView::refresh_milliseconds());
  if (wanted == refresh_milliseconds_) return;
  refresh_milliseconds_ = wanted;
  SetTimer(handle(), kRefreshTimer, wanted, nullptr);
}

LRESULT ScreenWindow::on_message(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_TIMER:
      if (wparam == kRefreshTimer) {
        refresh();
        keep_refresh_rate();
      }
      return 0;
    case WM_PAINT:
      paint();
      return 0;
    // Painting covers the whole client area.
    case WM_ERASEBKGND:
      return 1;
    case WM_KEYDOWN:
    case WM_KEYUP: {
      const std::optional<ScreenKey> key = screen_key(wparam);
      if (!key) break;
      if (!is_repeat(message, lparam)) view_.key(*key, message == WM_KEYDOWN);
      return 0;
    }
    case WM_KILLFOCUS:
      view_.release_keys();
      return 0;
    case WM_DPICHANGED:
      follow_dpi_change(lparam);
      return 0;
    case WM_CLOSE:
      ShowWindow(handle(), SW_HIDE);
      return 0;
  }
  return DefWindowProcA(handle(), message, wparam, lparam);
}

void ScreenWindow::refresh() {
  // Closed, it asks the run thread for nothing.
  if (!IsWindowVisible(handle()) || !view_.refresh()) return;
  const std::vector<uint8_t>& rgb = view_.picture().rgb;
  pixels_.assign(rgb.size() / 3 * 4, 0);
  for (std::size_t from = 0, to = 0; from + 2 < rgb.size(); from += 3, to += 4) {
    pixels_[to] = rgb[from + 2];
    pixels_[to + 1] = rgb[from + 1];
    pixels_[to + 2] = rgb[from];
  }
  InvalidateRect(handle(), nullptr, FALSE);
}

void ScreenWindow::paint() {
  PAINTSTRUCT paint;
  const HDC context = BeginPaint(handle(), &paint);
  RECT client;
  GetClientRect(handle(), &client);
  const VideoPicture& picture = view_.picture();
  const PicturePlacement at =
      place_picture(picture.width, picture.height, client.right, client.bottom);
  if (at.width > 0) {
    BITMAPINFO bitmap{};
    bitmap.bmiHeader.biSize = sizeof(bitmap.bmiHeader);
    bitmap.bmiHeader.biWidth = static_cast<LONG>(picture.width);
    bitmap.bmiHeader.biHeight = -static_cast<LONG>(picture.height);  // rows from the top
    bitmap.bmiHeader.biPlanes = 1;
    bitmap.bmiHeader.biBitCount = 32;
    bitmap.bmiHeader.biCompression = BI_RGB;
    // Each pixel a sharp block, as the Qt window draws it.
    SetStretchBltMode(context, COLORONCOLOR);
    StretchDIBits(context, at.x, at.y, at.width, at.height, 0, 0, bitmap.bmiHeader.biWidth,
                  static_cast<int>(picture.height), pixels_.data(), &bitmap, DIB_RGB_COLORS,
                  SRCCOPY);
    ExcludeClipRect(context, at.x, at.y, at.x + at.width, at.y + at.height);
  }
  FillRect(context, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  EndPaint(handle(), &paint);
}

LogWindow::LogWindow(DesktopHost& host, HWND owner, HWND beside) : host_(host) {
  WNDCLASSEXA window_class{};
  window_class.lpszClassName = kLogClassName;
  create(window_class, 0, "Log", WS_OVERLAPPEDWINDOW, owner, nullptr);
  if (!handle()) return;
  text_box_ = CreateWindowExA(0, "EDIT", "",
                              WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE |
                                  ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL,
                              0, 0, 0, 0, handle(), nullptr, GetModuleHandleA(nullptr), nullptr);
  use_message_font();
  set_client_size(480, 480);
  RECT next_to;
  GetWindowRect(beside, &next_to);
  SetWindowPos(handle(), nullptr, next_to.right + scaled_for(handle(), 16), next_to.top, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  SetTimer(handle(), kLogPollTimer, kLogPollMilliseconds, nullptr);
}

LogWindow::~LogWindow() {
  // The text box goes before its font.
  destroy();
  if (font_) DeleteObject(font_);
}

LRESULT LogWindow::on_message(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_TIMER:
      if (wparam == kLogPollTimer) take_new_text();
      return 0;
    case WM_SIZE:
      MoveWindow(text_box_, 0, 0, LOWORD(lparam), HIWORD(lparam), TRUE);
      return 0;
    case WM_SETFOCUS:
      SetFocus(text_box_);
      return 0;
    // A read-only edit control is drawn grey unless told otherwise; the log is a page to read.
    case WM_CTLCOLORSTATIC:
      SetBkColor(reinterpret_cast<HDC>(wparam), GetSysColor(COLOR_WINDOW));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    case WM_DPICHANGED:
      follow_dpi_change(lparam);
      use_message_font();
      return 0;
    case WM_CLOSE:
      ShowWindow(handle(), SW_HIDE);
      return 0;
  }
  return DefWindowProcA(handle(), message, wparam, lparam);
}

void LogWindow::take_new_text() {
  const std::string text = host_.take_program_text();
  if (text.empty()) return;
  lines_.append(text);
  SetWindowTextA(text_box_, with_edit_line_ends(lines_.text()).c_str());
  SendMessageA(text_box_, WM_VSCROLL, SB_BOTTOM, 0);
}

// The system's font for text in windows, as the Qt window's is the desktop's, rather than the
// edit control's bitmap font.
void LogWindow::use_message_font() {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  if (!SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0,
                                  GetDpiForWindow(handle())))
    return;
  const HFONT font = CreateFontIndirectW(&metrics.lfMessageFont);
  SendMessageA(text_box_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  if (font_) DeleteObject(font_);
  font_ = font;
}
