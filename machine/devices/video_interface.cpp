#include "machine/devices/video_interface.h"

#include "cpu/scheduler.h"
#include "machine/devices/mips_interface.h"
#include "machine/devices/register_bits.h"

namespace {

// What each register holds (LaC's hardware notes, n64brew "Video Interface").
constexpr std::array<uint32_t, VideoInterface::kRegisters> kRegisterBits{
    0x0001FFFF,  // VI_CTRL
    0x00FFFFFF,  // VI_ORIGIN
    0x00000FFF,  // VI_WIDTH
    0x000003FF,  // VI_V_INTR
    0,           // VI_V_CURRENT: counted
    0x3FFFFFFF,  // VI_BURST
    0x000003FF,  // VI_V_SYNC
    0x001F0FFF,  // VI_H_SYNC
    0x0FFF0FFF,  // VI_H_SYNC_LEAP
    0x03FF03FF,  // VI_H_VIDEO
    0x03FF03FF,  // VI_V_VIDEO
    0x03FF03FF,  // VI_V_BURST
    0x0FFF0FFF,  // VI_X_SCALE
    0x0FFF0FFF,  // VI_Y_SCALE
};

// A line in thirds of a processor cycle, which hold both standards' lines whole: NTSC's (and
// MPAL's) 5958 1/3 cycles, PAL's 6000.
constexpr uint64_t thirds_per_line(TvType tv) {
  return tv == TvType::pal ? 18000 : 17875;
}

// The progressive frames of the standards: 263 lines of NTSC and MPAL, 313 of PAL.
constexpr uint32_t default_v_sync(TvType tv) {
  return tv == TvType::pal ? 0x271 : 0x20D;
}

// VI_V_INTR's value at power on, which no half-line reaches.
constexpr uint32_t kVIntrAtPowerOn = 0x3FF;

}  // namespace

void VideoInterface::reset(TvType type) {
  *this = VideoInterface{};
  tv = type;
  registers[kVIntr] = kVIntrAtPowerOn;
  counted_from = scheduler.now;
  scheduler.cancel(Event::vi_interrupt);
}

uint32_t VideoInterface::v_sync() const {
  return registers[kVSync] != 0 ? registers[kVSync] : default_v_sync(tv);
}

uint32_t VideoInterface::frame_lines() const {
  const uint32_t v = v_sync();
  return v % 2 != 0 ? (v + 1) / 2 : v + 1;
}

uint32_t VideoInterface::half_line(uint32_t frame_line) const {
  const uint32_t v = v_sync();
  if (v % 2 != 0 || frame_line <= v / 2) return 2 * frame_line;
  return 2 * (frame_line - v / 2 - 1) + 1;  // the second field
}

uint64_t VideoInterface::lines_counted(uint64_t now) const {
  return (now - counted_from) * 3 / thirds_per_line(tv);
}

uint64_t VideoInterface::line_start(uint64_t counted_line) const {
  return counted_from + (counted_line * thirds_per_line(tv) + 2) / 3;
}

uint32_t VideoInterface::frame_line_at(uint64_t now) const {
  return static_cast<uint32_t>((first_line + lines_counted(now)) % frame_lines());
}

uint32_t VideoInterface::frame_line_showing(uint32_t half) const {
  const uint32_t v = v_sync();
  const uint32_t lines = frame_lines();
  const bool interlaced = v % 2 == 0;
  uint32_t line = half / 2;
  if (half % 2 != 0) {
    if (!interlaced) return lines;
    line += v / 2 + 1;
  } else if (interlaced && line > v / 2) {
    return lines;
  }
  return line < lines ? line : lines;
}

void VideoInterface::schedule_interrupt() {
  const uint32_t lines = frame_lines();
  const uint32_t wanted = frame_line_showing(registers[kVIntr]);
  if (wanted == lines) {
    scheduler.cancel(Event::vi_interrupt);
    return;
  }
  // The next time that line begins, after the one being scanned.
  const uint64_t counted = lines_counted(scheduler.now);
  uint32_t ahead = (wanted + lines - frame_line_at(scheduler.now)) % lines;
  if (ahead == 0) ahead = lines;
  scheduler.schedule(Event::vi_interrupt, line_start(counted + ahead));
}

uint64_t VideoInterface::read_steady_until(uint32_t offset) const {
  if (offset / 4 != kVCurrent) return kSteadyForGood;
  return line_start(lines_counted(scheduler.now) + 1);
}

void VideoInterface::interrupt_reached() {
  mips_interface.raise(RcpInterrupt::vi);
  ++interrupts_raised;
  schedule_interrupt();
}

void VideoInterface::write(uint32_t offset, uint32_t value, uint32_t mask) {
  if (offset / 4 == kVCurrent) {
    mips_interface.lower(RcpInterrupt::vi);
    return;
  }
  poke(offset, value, mask);
}

uint32_t VideoInterface::peek(uint32_t offset) const {
  const uint32_t index = offset / 4;
  if (index == kVCurrent) return half_line(frame_line_at(scheduler.now));
  return registers[index];
}

bool VideoInterface::poke(uint32_t offset, uint32_t value, uint32_t mask) {
  const uint32_t index = offset / 4;
  if (index == kVCurrent) return false;
  // The line being scanned goes on under a new VI_V_SYNC; the lines after it follow the new frame.
  const uint64_t line_began = line_start(lines_counted(scheduler.now));
  const uint32_t here = frame_line_at(scheduler.now);
  registers[index] = merge_bytes(registers[index], value, mask) & kRegisterBits[index];
  if (index == kVSync) {
    counted_from = line_began;
    first_line = here % frame_lines();
  }
  if (index == kVSync || index == kVIntr) schedule_interrupt();
  return true;
}
