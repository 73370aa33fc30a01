#include "platform/win32/template_dialog.h"

#include <algorithm>
#include <memory>
#include <set>
#include <type_traits>
#include <vector>

#include "platform/win32/dialog_template.h"

namespace {

// Dark enough to read on the edit fields' light background.
constexpr COLORREF kHighlightColour = RGB(192, 0, 0);

struct GdiObjectDeleter {
  void operator()(HGDIOBJ object) const { DeleteObject(object); }
};

// A font or bitmap the dialog made for its controls, deleted with the dialog.
template <typename Handle>
using OwnedGdiObject = std::unique_ptr<std::remove_pointer_t<Handle>, GdiObjectDeleter>;

// The open modeless dialogs, for the message loop; window thread only.
std::vector<HWND>& modeless_dialogs() {
  static std::vector<HWND> dialogs;
  return dialogs;
}

// One open dialog: the procedure's view of it, kept in the window's DWLP_USER.
class TemplateDialog final : public Dialog {
 public:
  TemplateDialog(const DialogTemplate& dialog_template, DialogProcedure& procedure, bool modal)
      : template_(dialog_template), procedure_(procedure), modal_(modal) {}

  static INT_PTR CALLBACK procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  bool ended() const { return ended_; }

  void set_text(int id, const char* text) override {
    const ControlKind* kind = control_kind(id);
    if (kind && *kind != ControlKind::kListBox && *kind != ControlKind::kPicture)
      SetDlgItemTextA(window_, id, text);
  }
  // Drawn after each line, with its scroll bar, a page of the listing took seconds to go in: the
  // list is drawn once, when it is filled.
  void clear_list(int id) override {
    if (!is_list(id)) return;
    SendDlgItemMessageA(window_, id, WM_SETREDRAW, FALSE, 0);
    SendDlgItemMessageA(window_, id, LB_RESETCONTENT, 0, 0);
  }
  void append_line(int id, const char* text) override {
    if (is_list(id))
      SendDlgItemMessageA(window_, id, LB_INSERTSTRING, static_cast<WPARAM>(-1),
                          reinterpret_cast<LPARAM>(text));
  }
  void list_filled(int id) override {
    if (!is_list(id)) return;
    const HWND list = GetDlgItem(window_, id);
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(list, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE);
  }
  void set_highlight(int id, bool highlighted) override;
  void end(int result) override;

 private:
  const ControlKind* control_kind(int id) const {
    for (const ControlTemplate& control : template_.controls)
      if (control.id == id && id != kNoId) return &control.kind;
    return nullptr;
  }
  bool is_list(int id) const {
    const ControlKind* kind = control_kind(id);
    return kind && *kind == ControlKind::kListBox;
  }
  void use_fixed_pitch_in_lists();
  void scale_pictures();
  INT_PTR on_message(UINT message, WPARAM wparam, LPARAM lparam);
  INT_PTR colour_control(HDC context, HWND control, int background);

  const DialogTemplate& template_;
  DialogProcedure& procedure_;
  const bool modal_;
  HWND window_ = nullptr;
  bool ended_ = false;
  std::set<int> highlighted_;
  OwnedGdiObject<HFONT> fixed_pitch_font_;
  std::vector<OwnedGdiObject<HBITMAP>> scaled_pictures_;
};

// The dialog manager asks for the template's face alone, which the system may map to a
// proportional face (Wine maps "Courier" to a sans face even with monospace faces installed).
// Asked for with fixed pitch in the modern family, the font mapper falls back to a monospace face.
// Only the lists take it: the dialog units, and so every control's size, were measured in the
// dialog manager's font, in which the other controls' texts fit.
void TemplateDialog::use_fixed_pitch_in_lists() {
  LOGFONTA font{};
  GetObjectA(reinterpret_cast<HFONT>(SendMessageA(window_, WM_GETFONT, 0, 0)), sizeof(font), &font);
  font.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
  fixed_pitch_font_.reset(CreateFontIndirectA(&font));
  for (const ControlTemplate& control : template_.controls)
    if (control.kind == ControlKind::kListBox)
      SendDlgItemMessageA(window_, control.id, WM_SETFONT,
                          reinterpret_cast<WPARAM>(fixed_pitch_font_.get()), FALSE);
}

// A picture control shows its bitmap pixel for pixel, and the bitmap is drawn for 96 DPI: at any
// other DPI it is stretched to the scale the dialog manager gives the rest of the dialog.
void TemplateDialog::scale_pictures() {
  const int dpi = static_cast<int>(GetDpiForWindow(window_));
  if (dpi == USER_DEFAULT_SCREEN_DPI) return;
  for (HWND control = GetWindow(window_, GW_CHILD); control;
       control = GetWindow(control, GW_HWNDNEXT)) {
    const auto shown =
        reinterpret_cast<HBITMAP>(SendMessageA(control, STM_GETIMAGE, IMAGE_BITMAP, 0));
    BITMAP size;
    if (!shown || !GetObjectA(shown, sizeof(size), &size)) continue;
    const auto scaled = static_cast<HBITMAP>(
        CopyImage(shown, IMAGE_BITMAP, MulDiv(size.bmWidth, dpi, USER_DEFAULT_SCREEN_DPI),
                  MulDiv(size.bmHeight, dpi, USER_DEFAULT_SCREEN_DPI), 0));
    if (!scaled) continue;
    scaled_pictures_.emplace_back(scaled);
    // The control takes the size of its new bitmap and hands back the one it loaded, which is
    // ours to delete.
    DeleteObject(reinterpret_cast<HBITMAP>(
        SendMessageA(control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(scaled))));
  }
}

void TemplateDialog::set_highlight(int id, bool highlighted) {
  const ControlKind* kind = control_kind(id);
  if (!kind || *kind != ControlKind::kEdit) return;
  // A refresh asks for every field each time; most keep their colour.
  if (highlighted_.contains(id) == highlighted) return;
  if (highlighted) {
    highlighted_.insert(id);
  } else {
    highlighted_.erase(id);
  }
  InvalidateRect(GetDlgItem(window_, id), nullptr, TRUE);
}

void TemplateDialog::end(int result) {
  ended_ = true;
  // A modeless dialog is destroyed once its procedure has returned (on_message), not under it.
  if (modal_) EndDialog(window_, result);
}

INT_PTR TemplateDialog::colour_control(HDC context, HWND control, int background) {
  if (!highlighted_.contains(GetDlgCtrlID(control))) return FALSE;
  SetTextColor(context, kHighlightColour);
  SetBkColor(context, GetSysColor(background));
  return reinterpret_cast<INT_PTR>(GetSysColorBrush(background));
}

INT_PTR TemplateDialog::on_message(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND: {
      // Notifications (a list's selection, an edit's change) are not commands.
      if (HIWORD(wparam) != BN_CLICKED) return FALSE;
      const bool handled = procedure_.on_command(*this, LOWORD(wparam));
      if (ended_ && !modal_) DestroyWindow(window_);
      return handled;
    }
    case WM_CTLCOLOREDIT:
      return colour_control(reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam),
                            COLOR_WINDOW);
    case WM_CTLCOLORSTATIC:  // read-only edit fields
      return colour_control(reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam),
                            COLOR_3DFACE);
    case WM_DESTROY:
      procedure_.on_destroy(*this);
      return FALSE;
    case WM_NCDESTROY: {
      std::vector<HWND>& dialogs = modeless_dialogs();
      dialogs.erase(std::remove(dialogs.begin(), dialogs.end(), window_), dialogs.end());
      if (!modal_) delete this;
      return FALSE;
    }
  }
  return FALSE;
}

INT_PTR CALLBACK TemplateDialog::procedure(HWND window, UINT message, WPARAM wparam,
                                           LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    auto* dialog = reinterpret_cast<TemplateDialog*>(lparam);
    dialog->window_ = window;
    SetWindowLongPtrA(window, DWLP_USER, lparam);
    if (has_fixed_pitch_font(dialog->template_)) dialog->use_fixed_pitch_in_lists();
    dialog->scale_pictures();
    dialog->procedure_.on_init(*dialog);
    return TRUE;  // the focus where the dialog manager puts it
  }
  auto* dialog = reinterpret_cast<TemplateDialog*>(GetWindowLongPtrA(window, DWLP_USER));
  return dialog ? dialog->on_message(message, wparam, lparam) : FALSE;
}

}  // namespace

int run_modal_dialog(const char* name, DialogProcedure& procedure, HWND owner) {
  const DialogTemplate* dialog_template = find_dialog_template(name);
  if (!dialog_template) return -1;
  const InMemoryDialogTemplate words(*dialog_template);
  TemplateDialog dialog(*dialog_template, procedure, true);
  return static_cast<int>(DialogBoxIndirectParamA(GetModuleHandleA(nullptr), words.get(), owner,
                                                  TemplateDialog::procedure,
                                                  reinterpret_cast<LPARAM>(&dialog)));
}

HWND open_modeless_dialog(const char* name, DialogProcedure& procedure, HWND owner) {
  const DialogTemplate* dialog_template = find_dialog_template(name);
  if (!dialog_template) return nullptr;
  const InMemoryDialogTemplate words(*dialog_template);
  auto* dialog = new TemplateDialog(*dialog_template, procedure, false);
  HWND window =
      CreateDialogIndirectParamA(GetModuleHandleA(nullptr), words.get(), owner,
                                 TemplateDialog::procedure, reinterpret_cast<LPARAM>(dialog));
  if (!window) {
    delete dialog;
    return nullptr;
  }
  if (dialog->ended()) {
    DestroyWindow(window);  // deletes the dialog
    return nullptr;
  }
  modeless_dialogs().push_back(window);
  ShowWindow(window, SW_SHOW);
  return window;
}

bool take_dialog_message(MSG& message) {
  for (HWND dialog : modeless_dialogs())
    if (IsDialogMessageA(dialog, &message)) return true;
  return false;
}
