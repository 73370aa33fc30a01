#pragma once

#include <windows.h>

#include "debugger/dialog.h"

// Dialogs built from the templates in resources/ and driven by a procedure. A button reaches the
// procedure as its id, Escape and the caption's close box as cancel, Enter as the default button's
// id (OK when there is none), all through the dialog manager's WM_COMMAND. Only the procedure
// closes a dialog, by ending it. The procedure must outlive the dialog.

// Opens the template `name` (any case) as a modal dialog owned by `owner` (DialogBoxIndirectParamA)
// and returns the result the procedure ended it with; -1 if there is no such template.
int run_modal_dialog(const char* name, DialogProcedure& procedure, HWND owner);

// Opens the template `name` (any case) as a modeless dialog owned by `owner`
// (CreateDialogIndirectParamA), which is destroyed once the procedure ends it. Null if there is no
// such template or the procedure ended it while it was being set up.
HWND open_modeless_dialog(const char* name, DialogProcedure& procedure, HWND owner);

// For the message loop: gives `message` to the open modeless dialog it is meant for, so that Tab,
// Enter and Escape work there. True when a dialog took it.
bool take_dialog_message(MSG& message);
