#include "machine/engines/host_calls.h"

#include <vector>

namespace x86 = asmjit::x86;

namespace host_calls {
namespace {

struct Convention {
  asmjit::CallConv rules;
  std::vector<x86::Gp> saved;  // in the order they are pushed
  int32_t reserved = 0;        // bytes below the saved registers, for the alignment
};

const Convention& convention() {
  static const Convention built = [] {
    Convention c;
    c.rules.init(asmjit::CallConvId::kCDecl, asmjit::Environment::host());
    const asmjit::RegMask preserved = c.rules.preservedRegs(asmjit::RegGroup::kGp);
    for (uint32_t id = 0; id < 16; ++id) {
      if (id != x86::Gp::kIdSp && (preserved & (1u << id))) c.saved.push_back(x86::gpq(id));
    }
    // The return address and the saved registers, then the rest, leave the stack as a call
    // expects it: aligned to 16 bytes.
    const int32_t pushed = 8 * static_cast<int32_t>(1 + c.saved.size());
    c.reserved = (16 - pushed % 16) % 16;
    return c;
  }();
  return built;
}

}  // namespace

x86::Gp argument(unsigned index) {
  return x86::gpq(convention().rules.passedOrder(asmjit::RegGroup::kGp)[index]);
}

bool preserved(const x86::Gp& reg) {
  return (convention().rules.preservedRegs(asmjit::RegGroup::kGp) & (1u << reg.id())) != 0;
}

void emit_enter(x86::Assembler& a) {
  for (const x86::Gp& reg : convention().saved) a.push(reg);
  a.sub(x86::rsp, convention().reserved);
}

void emit_leave(x86::Assembler& a) {
  a.add(x86::rsp, convention().reserved);
  const std::vector<x86::Gp>& saved = convention().saved;
  for (auto reg = saved.rbegin(); reg != saved.rend(); ++reg) a.pop(*reg);
  a.ret();
}

void emit_call(x86::Assembler& a, const x86::Gp& target) {
  // A multiple of 16 on every convention asmjit knows (32 bytes on Windows, none on System V).
  const auto room = static_cast<int32_t>(convention().rules.spillZoneSize());
  if (room != 0) a.sub(x86::rsp, room);
  a.call(target);
  if (room != 0) a.add(x86::rsp, room);
}

}  // namespace host_calls
