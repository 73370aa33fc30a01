#include "machine/engines/block_emission.h"

#include <algorithm>

namespace block_emission {

void BlockEmitter::emit_memory(uint32_t k, uint32_t exit_before) {
  const DecodedWord& w = block_.words[k];
  const Operation& operation = ::operation(w.op);
  const Label refused = a_.newLabel();
  const int64_t offset = access_offset(w);
  if (address_.base != static_cast<int>(w.b) || !address_.range.covers(offset, operation.bytes))
    find_bytes(w, access_range(k), refused);
  const int64_t from_anchor = offset - address_.range.anchor;
  const x86::Mem bytes = x86::ptr(
      kCpu, x86::rdx, 0, reach_.rdram + static_cast<int32_t>(from_anchor), operation.bytes);
  if (operation.stores) {
    emit_store(k, bytes, static_cast<int32_t>(from_anchor));
  } else {
    emit_load(w, bytes);
  }
  cold_.push_back([this, refused, exit_before] {
    a_.bind(refused);
    side_exit(exit_before);
  });
}

AccessRange BlockEmitter::access_range(uint32_t k) const {
  const DecodedWord& first = block_.words[k];
  const uint32_t size = operation(first.op).bytes;
  AccessRange range{access_offset(first), 0, size, size};
  for (uint32_t j = k; j < n_; ++j) {
    const DecodedWord& w = block_.words[j];
    const Operation& operation = ::operation(w.op);
    if (j > k && operation.bytes != 0 && w.b == first.b &&
        checks_address(w.op) == checks_address(first.op)) {
      const int64_t from = access_offset(w) - range.anchor;
      const int64_t low = std::min(range.low, from);
      const int64_t high = std::max(range.high, from + operation.bytes);
      // Aligned with the anchor, which the check finds aligned on its own size.
      if (operation.bytes <= size && from % operation.bytes == 0 && high - low <= kCodePageBytes) {
        range.low = low;
        range.high = high;
      }
    }
    // A load into the base register reads its bytes at the address from the register before.
    if (writes_a(w) && w.a == first.b) break;
  }
  return range;
}

// The installed RDRAM's size is a power of two, and fixed while translated code exists (each run
// begins with none).
void BlockEmitter::find_bytes(const DecodedWord& w, const AccessRange& range,
                              const Label& refused) {
  const Label elsewhere = a_.newLabel();
  const Label found = a_.newLabel();
  effective_address(w, range.anchor);
  // KSEG0 first, where programs keep their data: no other address passes for one of it. For the
  // complete model the whole register is tested, so that the one test also finds the address
  // sign-extended, as KSEG0's are (the immediates are sign-extended, and the mask's top bit is
  // set).
  static_assert(kSegmentBase[4] == kKseg0First && kFixedSegmentBase[4] == kKseg0First);
  static_assert(static_cast<int32_t>(kKseg0First) < 0 && ~(kRdramExpansionBytes - 1) >> 31 == 1);
  const bool whole = checks_address(w.op);
  const x86::Gp address = whole ? x86::Gp(x86::rdx) : x86::Gp(x86::edx);
  const auto kseg0 = static_cast<int32_t>(kKseg0First);
  a_.sub(address, kseg0);
  a_.test(address, static_cast<int32_t>(~(bus.rdram_bytes - range.alignment)));
  a_.jnz(elsewhere);
  a_.bind(found);
  // The range's first and last bytes in the anchor's page.
  for (const int64_t end : {range.low, range.high - 1}) {
    if (end >= 0 && end < range.alignment) continue;
    a_.lea(x86::ecx, x86::ptr(x86::rdx, static_cast<int32_t>(end)));
    a_.xor_(x86::ecx, x86::edx);
    a_.test(x86::ecx, ~(kCodePageBytes - 1));
    a_.jnz(refused);
  }
  // Watchpoints change only between runs, which begin with no translated code.
  if (!watchpoints.empty()) {
    a_.mov(x86::ecx, x86::edx);
    a_.shr(x86::ecx, 12);
    a_.cmp(x86::byte_ptr(kCpu, x86::rcx, 0, reach_.watched), 0);
    a_.jne(refused);
  }
  address_ = {static_cast<int>(w.b), range};
  cold_.push_back(
      [this, elsewhere, found, refused, address, kseg0, whole, alignment = range.alignment] {
        a_.bind(elsewhere);
        a_.add(address, kseg0);
        if (whole) {
          // Anything else is an address error.
          a_.movsxd(x86::rcx, x86::edx);
          a_.cmp(x86::rcx, x86::rdx);
          a_.jne(refused);
        }
        a_.mov(x86::ecx, x86::edx);
        a_.shr(x86::ecx, 29);
        const int32_t segments =
            cpu.model == CpuModel::r4300i ? reach_.fixed_segments : reach_.segments;
        a_.sub(x86::edx, x86::dword_ptr(kCpu, x86::rcx, 2, segments));
        a_.test(x86::edx, ~(bus.rdram_bytes - alignment));
        a_.jz(found);
        // The SP memories.
        a_.sub(x86::edx, kSpDmemFirst);
        a_.test(x86::edx, ~(2 * kSpMemoryBytes - alignment));
        a_.jnz(refused);
        a_.add(x86::edx, kSpFromRdram);
        a_.jmp(found);
      });
}

void BlockEmitter::effective_address(const DecodedWord& w, int64_t offset) {
  const int32_t displacement = static_cast<int32_t>(offset);
  if (checks_address(w.op)) {
    if (cached(w.b)) {
      a_.lea(x86::rdx, x86::ptr(host(w.b), displacement));
    } else {
      load(x86::rdx, w.b);
      if (displacement != 0) a_.add(x86::rdx, displacement);
    }
  } else if (cached(w.b)) {
    a_.lea(x86::edx, x86::ptr(host(w.b), displacement));
  } else {
    low_half(w.b, x86::rdx);
    if (displacement != 0) a_.add(x86::edx, displacement);
  }
}

void BlockEmitter::emit_load(const DecodedWord& w, x86::Mem bytes) {
  const x86::Gp to = result_for(w.a);
  switch (w.op) {
    case op_lb:
    case op_lb_checked:
      a_.movsx(to, bytes);
      break;
    case op_lbu:
    case op_lbu_checked:
      a_.movzx(to.r32(), bytes);
      break;
    case op_lh_checked:
      a_.movbe(to.r16(), bytes);
      a_.movsx(to, to.r16());
      break;
    case op_lhu_checked:
      a_.movbe(to.r16(), bytes);
      a_.movzx(to.r32(), to.r16());
      break;
    case op_lw:
    case op_lw_checked:
      a_.movbe(to.r32(), bytes);
      a_.movsxd(to, to.r32());
      break;
    case op_lwu_checked:
      a_.movbe(to.r32(), bytes);
      break;
    case op_lwc1:
    case op_ldc1: {
      const x86::Gp loaded = w.op == op_lwc1 ? x86::Gp(x86::eax) : x86::Gp(x86::rax);
      a_.movbe(loaded, bytes);
      a_.mov(fpr(w.a, operation(w.op).bytes), loaded);
      return;
    }
    default:  // LD
      a_.movbe(to, bytes);
      break;
  }
  set(w.a, to);
}

// The register's low `size` bytes into memory, big-endian.
void BlockEmitter::store_bytes(const x86::Mem& bytes, const x86::Gp& from, uint32_t size) {
  if (size == 1) {
    a_.mov(bytes, from.r8());
  } else if (size == 2) {
    a_.movbe(bytes, from.r16());
  } else if (size == 4) {
    a_.movbe(bytes, from.r32());
  } else {
    a_.movbe(bytes, from.r64());
  }
}

// A store, and after it its page marked written (while anyone reads the marks) and, where
// decoded or translated words may stand, the copies of the stored bytes dropped. While no RDRAM
// page holds any, a store into RDRAM need not look; the translator drops such blocks once one
// does.
void BlockEmitter::emit_store(uint32_t k, const x86::Mem& bytes, int32_t from_anchor) {
  const DecodedWord& w = block_.words[k];
  const uint32_t size = operation(w.op).bytes;
  if (moves_fpu_register(w.op)) {
    a_.mov(size == 4 ? x86::Gp(x86::r11d) : x86::Gp(x86::r11), fpr(w.a, size));
  }
  const x86::Gp from = moves_fpu_register(w.op) ? x86::Gp(x86::r11) : value(w.a, x86::r11);
  const Label resume = a_.newLabel();
  if (!tables_.rdram_stores_unchecked) {
    store_bytes(bytes, from, size);
    // The range lies in one page: once it is found to hold no copies, and the way that finds
    // some leaves the block, the stores after need not look again.
    if (!address_.page_clean) {
      const bool stores_follow = stores_follow_through(k);
      emit_store_marks(k, from_anchor, resume, stores_follow);
      address_.page_clean = stores_follow;
    }
    a_.bind(resume);
    return;
  }
  const Label sp_memories = a_.newLabel();
  a_.cmp(x86::edx, bus.rdram_bytes);
  a_.jae(sp_memories);
  store_bytes(bytes, from, size);
  if (code_pages.marks_wanted) {
    a_.mov(x86::ecx, x86::edx);
    a_.shr(x86::ecx, 12);
    a_.mov(x86::byte_ptr(kCpu, x86::rcx, 0, reach_.written), 1);
  }
  a_.bind(resume);
  cold_.push_back([this, sp_memories, bytes, from, size, k, from_anchor, resume] {
    a_.bind(sp_memories);
    store_bytes(bytes, from, size);
    emit_store_marks(k, from_anchor, resume, false);
    a_.jmp(resume);
  });
}

bool BlockEmitter::stores_follow_through(uint32_t k) const {
  const unsigned base = block_.words[k].b;
  for (uint32_t j = k + 1; j < n_; ++j) {
    const DecodedWord& w = block_.words[j];
    if (operation(w.op).stores && w.b == base) return true;
    if (writes_a(w) && w.a == base) return false;
  }
  return false;
}

// The marks after a store, going on at `resume`; when translated blocks went, this block, which
// may be one of them, leaves, and with `leave_on_copies` it leaves whenever the page holds copies.
void BlockEmitter::emit_store_marks(uint32_t k, int32_t from_anchor, const Label& resume,
                                    bool leave_on_copies) {
  const Label hit = a_.newLabel();
  a_.mov(x86::ecx, x86::edx);
  a_.shr(x86::ecx, 12);
  if (code_pages.marks_wanted) a_.mov(x86::byte_ptr(kCpu, x86::rcx, 0, reach_.written), 1);
  a_.cmp(x86::byte_ptr(kCpu, x86::rcx, 0, reach_.copied), 0);
  a_.jne(hit);
  cold_.push_back([this, hit, resume, k, from_anchor, leave_on_copies] {
    const Label dropped = a_.newLabel();
    const Label after = leave_on_copies ? a_.newLabel() : resume;
    a_.bind(hit);
    // Data beside code: no word stored into has copies.
    a_.lea(x86::ecx, x86::ptr(x86::rdx, from_anchor));
    a_.shr(x86::ecx, 2);
    const uint32_t size = operation(block_.words[k].op).bytes;
    a_.cmp(x86::ptr(kCpu, x86::rcx, 0, reach_.words, size == 8 ? 2 : 1), 0);
    a_.je(after);
    a_.mov(x86::ecx, x86::edx);
    a_.shr(x86::ecx, 12);
    store_cached(k + 1);
    a_.mov(context_.saved_address(), x86::rdx);
    a_.mov(host_calls::argument(0).r32(), x86::ecx);
    a_.lea(host_calls::argument(1).r32(), x86::ptr(x86::rdx, from_anchor));
    a_.mov(host_calls::argument(2).r32(), operation(block_.words[k].op).bytes);
    a_.mov(x86::rax, imm(reinterpret_cast<uint64_t>(tables_.store_hook)));
    host_calls::emit_call(a_, x86::rax);
    a_.test(x86::eax, x86::eax);
    a_.jnz(dropped);
    reload_clobbered();
    a_.mov(x86::rdx, context_.saved_address());
    a_.jmp(after);
    a_.bind(dropped);
    leave_after_store(k);
    if (leave_on_copies) {
      a_.bind(after);
      store_cached(k + 1);
      leave_after_store(k);
    }
  });
}

// Leaves once the store at `k` has run, with everything stored already.
void BlockEmitter::leave_after_store(uint32_t k) {
  leave_loop_slot_behind();
  if (k == 0 || runs_in_a_slot(block_.words[k - 1].op)) {
    a_.mov(kPc, address(k + 1));
    a_.add(kBudget, n_ - k - 1);
  } else {
    // The store was a delay slot, the block's last word: on to where its jump or branch goes.
    const uint32_t control = k - 1;
    const Kind kind = operation(block_.words[control].op).kind;
    const Label not_taken = a_.newLabel();
    const Label done = a_.newLabel();
    if (kind == Kind::branch || kind == Kind::delayed_branch) {
      a_.cmp(context_.taken(), 0);
      a_.je(not_taken);
    }
    a_.mov(kDelaySlotPc, address(control) + 4);
    if (kind == Kind::delayed_jump) {
      load_jump_target(control);
      a_.mov(kPc, x86::eax);
    } else {
      a_.mov(kPc, branch_target(control));
    }
    a_.jmp(done);
    a_.bind(not_taken);
    if (kind == Kind::delayed_branch) a_.mov(kDelaySlotPc, address(control) + 4);
    a_.mov(kPc, address(control) + 8);
    a_.bind(done);
  }
  a_.mov(kLastWord, block_.words[k].word);
  leave(JitExit::stopped);
}

}  // namespace block_emission
