#pragma once

#include <array>
#include <cstdint>

#include "cpu/instr_fields.h"
#include "cpu/opcode_rows.h"
#include "cpu/r4300i/fpu_operations.h"
#include "cpu/r4300i/fpu_transfers.h"
#include "cpu/r4300i/load_store.h"

// The map of coprocessor 1, the FPU: its tables by rs (the moves), by rt (the branches) and by
// function for each format; its loads and stores stand among the primary opcodes. Every row runs
// only while the FPU is usable. Include it only where the tables are used: it instantiates every
// handler.
namespace r4300i::opcode_map_detail {

template <Handler handler, Completion how = Completion::raising>
inline constexpr Handler on_fpu = exec_if_fpu_usable<handler, how>;

using fpu::Format;
using Op = fpu::Operation;
using Round = RoundingFrom;

inline constexpr OpcodeRow fpu_rows[] = {
    {OpTable::cop1, 0, "MFC1", on_fpu<exec_move_from_fpu<Width::word>>, DisasmForm::rt_fs},
    {OpTable::cop1, 1, "DMFC1", on_fpu<exec_move_from_fpu<Width::doubleword>>, DisasmForm::rt_fs},
    {OpTable::cop1, 2, "CFC1", on_fpu<exec_move_from_fpu_control>, DisasmForm::rt_fcr},
    {OpTable::cop1, 4, "MTC1", on_fpu<exec_move_to_fpu<Width::word>>, DisasmForm::rt_fs},
    {OpTable::cop1, 5, "DMTC1", on_fpu<exec_move_to_fpu<Width::doubleword>>, DisasmForm::rt_fs},
    {OpTable::cop1, 6, "CTC1", on_fpu<exec_move_to_fpu_control>, DisasmForm::rt_fcr},

    {OpTable::cop1_branch, 0, "BC1F", on_fpu<exec_branch<fpu_condition_clear, Branch::plain>>,
     DisasmForm::branch_target},
    {OpTable::cop1_branch, 1, "BC1T", on_fpu<exec_branch<fpu_condition_set, Branch::plain>>,
     DisasmForm::branch_target},
    {OpTable::cop1_branch, 2, "BC1FL", on_fpu<exec_branch<fpu_condition_clear, Branch::likely>>,
     DisasmForm::branch_target},
    {OpTable::cop1_branch, 3, "BC1TL", on_fpu<exec_branch<fpu_condition_set, Branch::likely>>,
     DisasmForm::branch_target},
};

// The conversions from W and L, the only functions of those formats.
template <Completion how>
inline constexpr OpcodeRow integer_rows[] = {
    {OpTable::cop1_word, 32, "CVT.S.W",
     on_fpu<exec_fpu_convert<Format::W, Format::S, Round::fcsr, how>, how>, DisasmForm::fd_fs},
    {OpTable::cop1_word, 33, "CVT.D.W",
     on_fpu<exec_fpu_convert<Format::W, Format::D, Round::fcsr, how>, how>, DisasmForm::fd_fs},
    {OpTable::cop1_long, 32, "CVT.S.L",
     on_fpu<exec_fpu_convert<Format::L, Format::S, Round::fcsr, how>, how>, DisasmForm::fd_fs},
    {OpTable::cop1_long, 33, "CVT.D.L",
     on_fpu<exec_fpu_convert<Format::L, Format::D, Round::fcsr, how>, how>, DisasmForm::fd_fs},
};

// The functions of S and D, in the order their rows are made below; each name takes the format's
// letter after a dot.
inline constexpr const char* kFloatFunctions[] = {
    "ADD",     "SUB",    "MUL",     "DIV",     "SQRT",    "ABS",    "MOV",     "NEG",   "ROUND.L",
    "TRUNC.L", "CEIL.L", "FLOOR.L", "ROUND.W", "TRUNC.W", "CEIL.W", "FLOOR.W", "CVT.S", "CVT.D",
    "CVT.W",   "CVT.L",  "C.F",     "C.UN",    "C.EQ",    "C.UEQ",  "C.OLT",   "C.ULT", "C.OLE",
    "C.ULE",   "C.SF",   "C.NGLE",  "C.SEQ",   "C.NGL",   "C.LT",   "C.NGE",   "C.LE",  "C.NGT",
};
inline constexpr std::size_t kFloatFunctionCount = std::size(kFloatFunctions);

template <char letter>
inline constexpr auto kFloatFunctionNames = [] {
  std::array<std::array<char, 10>, kFloatFunctionCount> names{};
  for (std::size_t n = 0; n < kFloatFunctionCount; ++n) {
    std::size_t length = 0;
    for (const char* c = kFloatFunctions[n]; *c; ++c) names[n][length++] = *c;
    names[n][length++] = '.';
    names[n][length] = letter;
  }
  return names;
}();

// The rows of S or D. A conversion to the format itself is an unimplemented operation.
template <Format fmt, OpTable table, char letter, Completion how = Completion::raising>
constexpr std::array<OpcodeRow, kFloatFunctionCount> float_function_rows() {
  std::array<OpcodeRow, kFloatFunctionCount> rows{};
  std::size_t n = 0;
  auto row = [&](uint8_t code, Handler exec, DisasmForm form) {
    rows[n] = {table, code, kFloatFunctionNames<letter>[n].data(), exec, form};
    ++n;
  };
  using F = DisasmForm;
  row(0, on_fpu<exec_fpu_arithmetic<fmt, Op::add, how>, how>, F::fd_fs_ft);
  row(1, on_fpu<exec_fpu_arithmetic<fmt, Op::sub, how>, how>, F::fd_fs_ft);
  row(2, on_fpu<exec_fpu_arithmetic<fmt, Op::mul, how>, how>, F::fd_fs_ft);
  row(3, on_fpu<exec_fpu_arithmetic<fmt, Op::div, how>, how>, F::fd_fs_ft);
  row(4, on_fpu<exec_fpu_arithmetic<fmt, Op::sqrt, how>, how>, F::fd_fs);
  row(5, on_fpu<exec_fpu_sign<fmt, false, how>, how>, F::fd_fs);
  row(6, on_fpu<exec_fpu_move<fmt, how>, how>, F::fd_fs);
  row(7, on_fpu<exec_fpu_sign<fmt, true, how>, how>, F::fd_fs);
  row(8, on_fpu<exec_fpu_convert<fmt, Format::L, Round::nearest, how>, how>, F::fd_fs);
  row(9, on_fpu<exec_fpu_convert<fmt, Format::L, Round::toward_zero, how>, how>, F::fd_fs);
  row(10, on_fpu<exec_fpu_convert<fmt, Format::L, Round::up, how>, how>, F::fd_fs);
  row(11, on_fpu<exec_fpu_convert<fmt, Format::L, Round::down, how>, how>, F::fd_fs);
  row(12, on_fpu<exec_fpu_convert<fmt, Format::W, Round::nearest, how>, how>, F::fd_fs);
  row(13, on_fpu<exec_fpu_convert<fmt, Format::W, Round::toward_zero, how>, how>, F::fd_fs);
  row(14, on_fpu<exec_fpu_convert<fmt, Format::W, Round::up, how>, how>, F::fd_fs);
  row(15, on_fpu<exec_fpu_convert<fmt, Format::W, Round::down, how>, how>, F::fd_fs);
  constexpr Handler unimplemented = on_fpu<exec_fpu_unimplemented<how>, how>;
  row(32,
      fmt == Format::S ? unimplemented
                       : on_fpu<exec_fpu_convert<fmt, Format::S, Round::fcsr, how>, how>,
      F::fd_fs);
  row(33,
      fmt == Format::D ? unimplemented
                       : on_fpu<exec_fpu_convert<fmt, Format::D, Round::fcsr, how>, how>,
      F::fd_fs);
  row(36, on_fpu<exec_fpu_convert<fmt, Format::W, Round::fcsr, how>, how>, F::fd_fs);
  row(37, on_fpu<exec_fpu_convert<fmt, Format::L, Round::fcsr, how>, how>, F::fd_fs);
  for (uint8_t condition = 0; condition < 16; ++condition)
    row(48 + condition, on_fpu<exec_fpu_compare<fmt, how>, how>, F::fs_ft);
  return rows;
}

inline constexpr auto single_rows = float_function_rows<Format::S, OpTable::cop1_single, 'S'>();
inline constexpr auto double_rows = float_function_rows<Format::D, OpTable::cop1_double, 'D'>();

static_assert(every_slot_claimed_at_most_once(fpu_rows) &&
                  every_slot_claimed_at_most_once(integer_rows<Completion::raising>) &&
                  every_slot_claimed_at_most_once(single_rows) &&
                  every_slot_claimed_at_most_once(double_rows),
              "an FPU row claims a slot another row claims, or a slot that does not exist");

// Every function a format lacks, and every format the FPU lacks, is an unimplemented operation;
// an rs below the formats without a row, and a branch's rt without one, is a reserved instruction.
inline constexpr OpcodeEntry kUnimplementedOperation = {on_fpu<exec_fpu_unimplemented<>>, "",
                                                        DisasmForm::cop0_fallback};

template <Completion how = Completion::raising>
constexpr OpcodeTable fpu_table(std::span<const OpcodeRow> rows, OpTable which, DisasmForm form) {
  const bool functions = which != OpTable::cop1 && which != OpTable::cop1_branch;
  return expand_rows(rows, which,
                     functions ? OpcodeEntry{on_fpu<exec_fpu_unimplemented<how>, how>, "", form}
                               : OpcodeEntry{on_fpu<exec_reserved>, "", form});
}

inline constexpr OpcodeTable cop1 = fpu_table(fpu_rows, OpTable::cop1, DisasmForm::cop0_fallback);
inline constexpr OpcodeTable cop1_branch =
    fpu_table(fpu_rows, OpTable::cop1_branch, DisasmForm::regimm_fallback);
inline constexpr OpcodeTable cop1_single =
    fpu_table(single_rows, OpTable::cop1_single, DisasmForm::cop0_function_fallback);
inline constexpr OpcodeTable cop1_double =
    fpu_table(double_rows, OpTable::cop1_double, DisasmForm::cop0_function_fallback);
inline constexpr OpcodeTable cop1_word = fpu_table(
    integer_rows<Completion::raising>, OpTable::cop1_word, DisasmForm::cop0_function_fallback);
inline constexpr OpcodeTable cop1_long = fpu_table(
    integer_rows<Completion::raising>, OpTable::cop1_long, DisasmForm::cop0_function_fallback);

// The same computing instructions, declining where the interpreter's would raise an exception:
// what translated code calls. Indexed by the format's rs less 16 (S, D, W and L at 0, 1, 4 and
// 5), then the function.
template <Format fmt, OpTable table, char letter>
constexpr OpcodeTable declining_table() {
  constexpr auto rows = float_function_rows<fmt, table, letter, Completion::declining>();
  return fpu_table<Completion::declining>(rows, table, DisasmForm::cop0_function_fallback);
}
inline constexpr OpcodeTable kNoFunctions = {};
inline constexpr std::array<OpcodeTable, 6> declining_cop1 = {
    declining_table<Format::S, OpTable::cop1_single, 'S'>(),
    declining_table<Format::D, OpTable::cop1_double, 'D'>(),
    kNoFunctions,
    kNoFunctions,
    fpu_table<Completion::declining>(integer_rows<Completion::declining>, OpTable::cop1_word,
                                     DisasmForm::cop0_function_fallback),
    fpu_table<Completion::declining>(integer_rows<Completion::declining>, OpTable::cop1_long,
                                     DisasmForm::cop0_function_fallback),
};

inline constexpr uint8_t kCop1 = 17;
inline constexpr uint8_t kCop1Branch = 8;

// The declining handler of a computing instruction of coprocessor 1 (formats S, D, W and L), or
// none for the rest.
inline Handler declining_cop1_handler(InstrFields f) {
  if (f.op() != kCop1 || f.rs() < 16 || f.rs() > 21) return nullptr;
  return declining_cop1[f.rs() - 16][f.funct()].exec;
}

inline const OpcodeEntry& cop1_entry(InstrFields f) {
  switch (f.rs()) {
    case kCop1Branch:
      return cop1_branch[f.rt()];
    case 16:
      return cop1_single[f.funct()];
    case 17:
      return cop1_double[f.funct()];
    case 20:
      return cop1_word[f.funct()];
    case 21:
      return cop1_long[f.funct()];
    default:
      return f.rs() >= 16 ? kUnimplementedOperation : cop1[f.rs()];
  }
}

}  // namespace r4300i::opcode_map_detail
