#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "debugger/dialog.h"
#include "resources/dialog_templates.h"

// A dialog without a display, for the tests: it holds the controls of its template by id, starts
// them with the template's texts and records what a procedure does to them.
class RecordingDialog final : public Dialog {
 public:
  explicit RecordingDialog(const DialogTemplate& dialog_template);

  void set_text(int id, const char* text) override;
  void clear_list(int id) override;
  void append_line(int id, const char* text) override;
  void set_highlight(int id, bool highlighted) override;
  void end(int result) override;

  // The text of a button, edit field or label; empty for any other id.
  std::string text(int id) const;
  // Whether an edit field is drawn highlighted; false for any other id.
  bool highlighted(int id) const;
  // The lines of a list box; empty for any other id.
  std::vector<std::string> lines(int id) const;
  // The result the procedure ended the dialog with, if it did.
  std::optional<int> result() const { return result_; }
  // The ids of requests the dialog ignored: no such control, or not one of the requested kind.
  const std::vector<int>& ignored_ids() const { return ignored_ids_; }

 private:
  template <typename Controls>
  typename Controls::mapped_type* find_control(Controls& controls, int id) {
    auto found = controls.find(id);
    if (found != controls.end()) return &found->second;
    ignored_ids_.push_back(id);
    return nullptr;
  }

  std::map<int, std::string> texts_;
  std::map<int, std::vector<std::string>> lists_;
  std::map<int, bool> highlights_;  // one per edit field
  std::optional<int> result_;
  std::vector<int> ignored_ids_;
};
