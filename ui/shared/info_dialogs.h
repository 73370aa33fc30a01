#pragma once

#include "debugger/dialog.h"

// The About dialog, and the base of ROM Info: neither has a button, so OK (Enter) and cancel
// (Escape, the close box) both close it with result 1.
class InfoDialogProcedure : public DialogProcedure {
 public:
  bool on_command(Dialog& dialog, int id) override;
};

// ROM Info: the loaded ROM's name and manufacturer as they stand when it opens.
class RomInfoProcedure final : public InfoDialogProcedure {
 public:
  void on_init(Dialog& dialog) override;
};
