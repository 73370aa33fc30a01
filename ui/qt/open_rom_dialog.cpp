#include "ui/qt/open_rom_dialog.h"

#include <QStringList>

namespace {

// Qt reads a filter's patterns from its last parentheses and, with the details hidden, shows the
// text before them: so the first filter is shown as written, with its unclosed parenthesis. Its
// text leaves out the native byte order (.z64), which the loader reads as well; its patterns do
// not.
const QStringList kRomFilters = {
    QStringLiteral("N64 roms (*.v64,*.bin,*.n64 (*.v64 *.bin *.n64 *.z64)"),
    QStringLiteral("All files (*.*) (*)"),
};

}  // namespace

void set_up_open_rom_dialog(QFileDialog& dialog) {
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  // Qt's own dialog, the one that shows the filter texts exactly as given.
  dialog.setOptions(QFileDialog::HideNameFilterDetails | QFileDialog::DontUseNativeDialog);
  dialog.setNameFilters(kRomFilters);
  dialog.selectNameFilter(kRomFilters.front());
}

QString choose_rom_file_name(QWidget* owner) {
  QFileDialog dialog(owner);
  set_up_open_rom_dialog(dialog);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().front();
}
