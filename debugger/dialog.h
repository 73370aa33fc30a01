#pragma once

// Every window's logic is a procedure written against this narrow view of a dialog, so that it
// runs the same on the desktop and in the tests.

class Dialog {
 public:
  virtual ~Dialog() = default;

  // Requests naming a control the dialog does not have, or a control of the wrong kind for the
  // request, are ignored, as the desktop ignores a message sent to no window.
  virtual void set_text(int id, const char* text) = 0;
  // A list is filled by emptying it, appending its lines and saying it is filled; the dialog may
  // leave it undrawn in between.
  virtual void clear_list(int id) = 0;
  virtual void append_line(int id, const char* text) = 0;
  virtual void list_filled(int /*id*/) {}
  // Draws an edit field's text in a colour that stands out (a value that has just changed), or
  // back in the usual one. A dialog without colours may ignore it.
  virtual void set_highlight(int /*id*/, bool /*highlighted*/) {}

  // Closes the dialog; a modal dialog's opener gets `result`.
  virtual void end(int result) = 0;
};

class DialogProcedure {
 public:
  virtual ~DialogProcedure() = default;

  // The controls exist and hold their template texts; the dialog is not shown yet.
  virtual void on_init(Dialog&) {}

  // A button, or one of the platform's commands above. Returns whether the procedure handled it;
  // an unhandled command changes nothing, so a window that ignores cancel stays open.
  virtual bool on_command(Dialog& dialog, int id) = 0;

  // The dialog is about to be destroyed: a procedure that keeps a reference to it must drop it
  // here. The dialog's controls can still be addressed during the call.
  virtual void on_destroy(Dialog&) {}
};
