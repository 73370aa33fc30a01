#include "ui/shared/info_dialogs.h"

#include "memory/rom_image.h"
#include "resources/dialog_templates.h"

bool InfoDialogProcedure::on_command(Dialog& dialog, int id) {
  if (id != kIdOk && id != kIdCancel) return false;
  dialog.end(1);
  return true;
}

void RomInfoProcedure::on_init(Dialog& dialog) {
  dialog.set_text(kIdRomName, rom.rom_name.c_str());
  dialog.set_text(kIdRomManufacturer, rom.rom_manufacturer.c_str());
}
