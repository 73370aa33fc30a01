#include "tests/support/recording_dialog.h"

RecordingDialog::RecordingDialog(const DialogTemplate& dialog_template) {
  for (const ControlTemplate& control : dialog_template.controls) {
    if (control.id == kNoId) continue;
    if (control.kind == ControlKind::kListBox) {
      lists_[control.id];
    } else if (control.kind != ControlKind::kPicture) {
      texts_[control.id] = control.text;
    }
    if (control.kind == ControlKind::kEdit) highlights_[control.id] = false;
  }
}

void RecordingDialog::set_text(int id, const char* text) {
  if (std::string* control = find_control(texts_, id)) *control = text;
}

void RecordingDialog::clear_list(int id) {
  if (std::vector<std::string>* list = find_control(lists_, id)) list->clear();
}

void RecordingDialog::append_line(int id, const char* text) {
  if (std::vector<std::string>* list = find_control(lists_, id)) list->emplace_back(text);
}

void RecordingDialog::set_highlight(int id, bool highlighted) {
  if (bool* highlight = find_control(highlights_, id)) *highlight = highlighted;
}

void RecordingDialog::end(int result) {
  result_ = result;
}

std::string RecordingDialog::text(int id) const {
  auto control = texts_.find(id);
  return control == texts_.end() ? std::string() : control->second;
}

bool RecordingDialog::highlighted(int id) const {
  auto highlight = highlights_.find(id);
  return highlight != highlights_.end() && highlight->second;
}

std::vector<std::string> RecordingDialog::lines(int id) const {
  auto list = lists_.find(id);
  return list == lists_.end() ? std::vector<std::string>() : list->second;
}
