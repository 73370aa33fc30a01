#include "debugger/register_windows.h"

#include <array>
#include <cstdint>

#include "debugger/debugger_state.h"
#include "debugger/disassembler.h"
#include "machine/debug_access.h"
#include "machine/execution.h"
#include "machine/machine_state.h"
#include "resources/dialog_templates.h"

namespace {

constexpr int kPcSlot = 32;

constexpr const RegisterFieldIds* kFieldIds[] = {&kGprFieldIds, &kCp0FieldIds, &kFprFieldIds};

RegisterWindowRecord& newest_window(RegisterWindowKind kind) {
  return debugger.newest_register_windows[static_cast<std::size_t>(kind)];
}

// Only the low word of a register is shown; a double as the raw bits of its pattern.
uint32_t low_word(uint64_t value) {
  return static_cast<uint32_t>(value);
}

uint32_t low_word(FloatRegister value) {
  return low_word(value.bits);
}

// Every field's text passes through `message_text`, also when no window of the kind is open, so
// that after a refresh it holds the program counter's text.
void show_value(RegisterWindowRecord& window, int slot, int id, uint32_t value) {
  shared.message_text().format("%x", value);
  if (!window.dialog) return;
  window.dialog->set_text(id, shared.message_text().c_str());
  window.dialog->set_highlight(id, window.has_shown && window.shown[slot] != value);
  window.shown[slot] = value;
}

template <typename Register>
void fill(RegisterWindowKind kind, const Register (&registers)[32], uint32_t pc) {
  RegisterWindowRecord& window = newest_window(kind);
  const RegisterFieldIds& ids = *kFieldIds[static_cast<std::size_t>(kind)];
  for (int reg = 0; reg < 32; ++reg)
    show_value(window, reg, ids.field(reg), low_word(registers[reg]));
  show_value(window, kPcSlot, ids.pc, pc);
  window.has_shown = window.dialog != nullptr;
}

// The disassembly of the stepped instruction, left in `message_text` for the opcode field. A
// BNE's target counts from the address its word was fetched from, the delay slot's when the step
// executed one.
void step_and_disassemble() {
  const uint32_t fetched_from = next_fetch_address();
  execution.step();
  const CpuState state = processor_state();
  shared.message_text().set(
      disassemble(state.current_instruction, fetched_from, state.model).c_str());
}

class RegisterWindowProcedure final : public DialogProcedure {
 public:
  explicit RegisterWindowProcedure(RegisterWindowKind kind) : kind_(kind) {}

  void on_init(Dialog& dialog) override {
    RegisterWindowRecord& window = newest_window(kind_);
    window.dialog = &dialog;
    window.has_shown = false;  // a new window has nothing to compare with
    refresh_register_windows();
  }

  bool on_command(Dialog& dialog, int id) override {
    switch (id) {
      case kIdStep:
        step();
        return true;
      case kIdOk:
      case kIdCancel:  // Escape and the close box close the window as Close does
        dialog.end(1);
        return true;
      default:
        return false;
    }
  }

  void on_destroy(Dialog& dialog) override {
    RegisterWindowRecord& window = newest_window(kind_);
    if (window.dialog == &dialog) window.dialog = nullptr;
  }

 private:
  // One pause around the step and the refresh, so that a run thread started meanwhile cannot
  // slip an instruction in between and the windows show the state the step left.
  void step() const {
    ExecutionController::ScopedPause pause(execution);
    if (kind_ == RegisterWindowKind::gpr) {
      step_and_disassemble();
    } else {
      execution.step();
    }
    refresh_register_windows();
  }

  RegisterWindowKind kind_;
};

}  // namespace

DialogProcedure& register_window_procedure(RegisterWindowKind kind) {
  static std::array<RegisterWindowProcedure, 3> procedures{
      RegisterWindowProcedure(RegisterWindowKind::gpr),
      RegisterWindowProcedure(RegisterWindowKind::cp0),
      RegisterWindowProcedure(RegisterWindowKind::fpr),
  };
  return procedures[static_cast<std::size_t>(kind)];
}

void refresh_register_windows() {
  // The run thread is held for the whole refresh, as for the listing's fill: the texts are built
  // in the scratch text, which a run thread reaching a stop writes too.
  ExecutionController::ScopedPause pause(execution);
  const CpuState state = processor_state();
  if (Dialog* gpr_window = newest_window(RegisterWindowKind::gpr).dialog)
    gpr_window->set_text(kIdOpcode, shared.message_text().c_str());
  fill(RegisterWindowKind::gpr, state.gpr, state.pc);
  fill(RegisterWindowKind::cp0, state.cp0, state.pc);
  fill(RegisterWindowKind::fpr, state.fpr, state.pc);
}
