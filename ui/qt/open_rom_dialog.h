#pragma once

#include <QFileDialog>
#include <QString>

// The file dialog of Open ROM: an existing file, with the ROM images' extensions as the first
// filter and every file as the second.
void set_up_open_rom_dialog(QFileDialog& dialog);

// Shows the dialog owned by `owner`; the chosen file's path, or empty when it was cancelled.
QString choose_rom_file_name(QWidget* owner);
