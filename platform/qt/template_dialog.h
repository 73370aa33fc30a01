#pragma once

#include <QDialog>
#include <map>

class QListWidget;

#include "debugger/dialog.h"
#include "platform/qt/dialog_units.h"
#include "resources/dialog_templates.h"

// A window built from a dialog template and driven by a procedure. A button click reaches the
// procedure as the button's id, Escape and the caption's close box as cancel, Enter as the
// default button's id (OK when there is none). Only the procedure closes the window, by ending
// it.
class TemplateDialog final : public QDialog, public Dialog {
  Q_OBJECT

 public:
  // Builds the controls and runs the procedure's on_init. The procedure must outlive the window.
  TemplateDialog(const DialogTemplate& dialog_template, DialogProcedure& procedure, QWidget* owner);
  ~TemplateDialog() override;

  QWidget* control(int id) const;
  const DialogUnits& units() const { return units_; }
  bool ended() const { return ended_; }

  void set_text(int id, const char* text) override;
  void clear_list(int id) override;
  void append_line(int id, const char* text) override;
  void set_highlight(int id, bool highlighted) override;
  void end(int result) override;

 protected:
  void reject() override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  struct Control {
    ControlKind kind;
    QWidget* widget;
  };

  QWidget* create_control(const ControlTemplate& control);
  void place_on_owner(const DialogTemplate& dialog_template);
  void command(int id);
  QListWidget* list(int id) const;

  DialogProcedure& procedure_;
  DialogUnits units_{};
  std::map<int, Control> controls_;
  int default_button_id_ = kIdOk;
  bool ended_ = false;
};

// Opens the template `name` (any case) as a modal dialog owned by `owner` and returns the result
// the procedure ended it with; -1 if there is no such template.
int run_modal_dialog(const char* name, DialogProcedure& procedure, QWidget* owner);

// Opens the template `name` (any case) as a modeless window owned by `owner`, which deletes
// itself once the procedure ends it. Null if there is no such template or the procedure ended
// it while it was being set up.
TemplateDialog* open_modeless_dialog(const char* name, DialogProcedure& procedure, QWidget* owner);
