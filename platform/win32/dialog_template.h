#pragma once

#include <windows.h>

#include <vector>

#include "resources/dialog_templates.h"

// A dialog template as the dialog manager reads it from memory (DLGTEMPLATE and its
// DLGITEMTEMPLATEs, with the font), for CreateDialogIndirectParamA and DialogBoxIndirectParamA.
// Sizes stay in dialog units, which the dialog manager turns into pixels through the template's
// font at the window's DPI. The words are aligned as a DLGTEMPLATE must be.
class InMemoryDialogTemplate {
 public:
  explicit InMemoryDialogTemplate(const DialogTemplate& dialog_template);

  const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

 private:
  void add_word(unsigned value) { words_.push_back(static_cast<WORD>(value)); }
  void add_dword(DWORD value);
  void add_text(const char* text);
  void align_to_dword();
  void add_control(const ControlTemplate& control);

  std::vector<WORD> words_;
};
