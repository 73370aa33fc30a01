#include "platform/win32/dialog_template.h"

#include <cstdlib>

namespace {

// The predefined classes' atoms, which a template may name instead of the class names.
constexpr WORD kButtonClass = 0x0080;
constexpr WORD kEditClass = 0x0081;
constexpr WORD kStaticClass = 0x0082;
constexpr WORD kListBoxClass = 0x0083;

WORD class_atom(ControlKind kind) {
  switch (kind) {
    case ControlKind::kPushButton:
    case ControlKind::kDefaultPushButton:
      return kButtonClass;
    case ControlKind::kListBox:
      return kListBoxClass;
    case ControlKind::kEdit:
      return kEditClass;
    case ControlKind::kLeftText:
    case ControlKind::kRightText:
    case ControlKind::kPicture:
      break;
  }
  return kStaticClass;
}

// Buttons, lists and edit fields take the focus unless the template says otherwise; texts and
// pictures only when it says so.
DWORD kind_style(ControlKind kind) {
  switch (kind) {
    case ControlKind::kPushButton:
      return BS_PUSHBUTTON | WS_TABSTOP;
    case ControlKind::kDefaultPushButton:
      return BS_DEFPUSHBUTTON | WS_TABSTOP;
    case ControlKind::kListBox:
      // Lines stay in the order they are inserted; the list's height is the template's.
      return LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_TABSTOP;
    case ControlKind::kEdit:
      return ES_LEFT | WS_TABSTOP;
    case ControlKind::kLeftText:
      return SS_LEFT;
    case ControlKind::kRightText:
      return SS_RIGHT;
    case ControlKind::kPicture:
      return SS_BITMAP;
  }
  return 0;
}

// A resource name that is a number ("108") names the resource by that ordinal.
bool resource_ordinal(const char* name, WORD& ordinal) {
  char* end;
  const unsigned long value = std::strtoul(name, &end, 10);
  if (*name == '\0' || *end != '\0' || value > 0xFFFF) return false;
  ordinal = static_cast<WORD>(value);
  return true;
}

DWORD control_style(const ControlTemplate& control) {
  DWORD style = WS_CHILD | WS_VISIBLE | kind_style(control.kind);
  if (control.style & kStyleBorder) style |= WS_BORDER;
  if (control.style & kStyleReadOnly) style |= ES_READONLY;
  if (control.style & kStyleVerticalScroll) style |= WS_VSCROLL;
  if (control.style & kStyleAutoHorizontalScroll) style |= ES_AUTOHSCROLL;
  if (control.style & kStyleTabStop) style |= WS_TABSTOP;
  if (control.style & kStyleNoTabStop) style &= ~WS_TABSTOP;
  return style;
}

}  // namespace

InMemoryDialogTemplate::InMemoryDialogTemplate(const DialogTemplate& dialog_template) {
  DWORD style = WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT;
  if (dialog_template.style & kDialogCloseBox) style |= WS_SYSMENU;
  add_dword(style);
  add_dword(0);  // extended style
  add_word(dialog_template.controls.size());
  // Without DS_ABSALIGN the position counts from the owner's client area.
  add_word(dialog_template.x);
  add_word(dialog_template.y);
  add_word(dialog_template.width);
  add_word(dialog_template.height);
  add_word(0);  // no menu
  add_word(0);  // the dialog class
  add_text(dialog_template.title);
  add_word(dialog_template.point_size);
  add_text(dialog_template.font);
  for (const ControlTemplate& control : dialog_template.controls) add_control(control);
}

void InMemoryDialogTemplate::add_dword(DWORD value) {
  add_word(value & 0xFFFF);
  add_word(value >> 16);
}

// The templates' texts are ASCII, so each character is its own UTF-16 unit.
void InMemoryDialogTemplate::add_text(const char* text) {
  for (const char* c = text; *c; ++c) add_word(static_cast<unsigned char>(*c));
  add_word(0);
}

void InMemoryDialogTemplate::align_to_dword() {
  if (words_.size() % 2) add_word(0);
}

void InMemoryDialogTemplate::add_control(const ControlTemplate& control) {
  align_to_dword();
  add_dword(control_style(control));
  add_dword(0);
  add_word(control.x);
  add_word(control.y);
  add_word(control.width);
  add_word(control.height);
  add_word(control.id == kNoId ? 0xFFFF : control.id);
  add_word(0xFFFF);
  add_word(class_atom(control.kind));
  WORD ordinal;
  if (control.kind == ControlKind::kPicture && resource_ordinal(control.text, ordinal)) {
    add_word(0xFFFF);
    add_word(ordinal);
  } else {
    add_text(control.text);
  }
  add_word(0);  // no creation data
}
