#pragma once

#include <array>
#include <cstddef>
#include <span>

// The main window's menu `KORVEL`: every user action starts as one of these command ids.

inline constexpr const char* kMenuName = "KORVEL";

inline constexpr int kCmdExit = 40001;
inline constexpr int kCmdRomInfo = 40003;
inline constexpr int kCmdOpenRom = 40004;
inline constexpr int kCmdLoadState = 40005;
inline constexpr int kCmdSaveState = 40006;
inline constexpr int kCmdAbout = 40007;
inline constexpr int kCmdStartCpu = 40008;
inline constexpr int kCmdPauseCpu = 40009;
inline constexpr int kCmdResetCpu = 40010;
inline constexpr int kCmdShowCount = 40011;
inline constexpr int kCmdStopOnUnhandled = 40012;
inline constexpr int kCmdPriorityHigh = 40013;
inline constexpr int kCmdPriorityNormal = 40014;
inline constexpr int kCmdPriorityLow = 40015;
inline constexpr int kCmdGprWindow = 40016;
inline constexpr int kCmdCp0Window = 40017;
inline constexpr int kCmdFprWindow = 40018;
inline constexpr int kCmdCommandsWindow = 40020;
inline constexpr int kCmdCurrentIps = 40021;
inline constexpr int kCmdCloseRom = 40022;
inline constexpr int kCmdScreenWindow = 40023;
inline constexpr int kCmdMemory = 65535;

enum class MenuEntryKind { kItem, kSeparator, kSubmenu };

// Items without a check mark never show one; the others start with the mark set or clear and
// only their command moves it.
enum class CheckMark { kNone, kClear, kSet };

struct MenuEntry {
  MenuEntryKind kind;
  const char* text;  // "&" marks the mnemonic letter
  int id;            // items only
  bool grayed;
  CheckMark check;
  const MenuEntry* entries;  // submenus only
  std::size_t entry_count;

  std::span<const MenuEntry> submenu() const { return {entries, entry_count}; }
};

constexpr MenuEntry menu_item(const char* text, int id, bool grayed = false,
                              CheckMark check = CheckMark::kNone) {
  return {MenuEntryKind::kItem, text, id, grayed, check, nullptr, 0};
}

constexpr MenuEntry menu_separator() {
  return {MenuEntryKind::kSeparator, "", 0, false, CheckMark::kNone, nullptr, 0};
}

template <std::size_t N>
constexpr MenuEntry submenu(const char* text, const MenuEntry (&entries)[N]) {
  return {MenuEntryKind::kSubmenu, text, 0, false, CheckMark::kNone, entries, N};
}

template <std::size_t N>
constexpr MenuEntry submenu(const char* text, const std::array<MenuEntry, N>& entries) {
  return {MenuEntryKind::kSubmenu, text, 0, false, CheckMark::kNone, entries.data(), N};
}

// One menu's entries, then another's.
template <std::size_t N, std::size_t M>
constexpr std::array<MenuEntry, N + M> joined(const MenuEntry (&first)[N],
                                              const MenuEntry (&then)[M]) {
  std::array<MenuEntry, N + M> entries{};
  for (std::size_t i = 0; i < N; ++i) entries[i] = first[i];
  for (std::size_t i = 0; i < M; ++i) entries[N + i] = then[i];
  return entries;
}

inline constexpr bool kGrayed = true;

inline constexpr MenuEntry kFileMenu[] = {
    menu_item("&Open ROM...", kCmdOpenRom),
    menu_item("&Close ROM", kCmdCloseRom),
    menu_item("&Load State", kCmdLoadState, kGrayed),
    menu_item("&Save State", kCmdSaveState, kGrayed),
    menu_separator(),
    menu_item("&ROM Info", kCmdRomInfo),
    menu_separator(),
    menu_item("E&xit", kCmdExit),
};

inline constexpr MenuEntry kEmulationMenu[] = {
    menu_item("&Start CPU", kCmdStartCpu, kGrayed),
    menu_item("&Pause CPU", kCmdPauseCpu, kGrayed),
    menu_item("&Reset CPU", kCmdResetCpu, kGrayed),
    menu_separator(),
    menu_item("Show &Count Register", kCmdShowCount, false, CheckMark::kClear),
};

inline constexpr MenuEntry kRegistersMenu[] = {
    menu_item("GPR", kCmdGprWindow),
    menu_item("CP0", kCmdCp0Window),
    menu_item("FPR", kCmdFprWindow),
};

inline constexpr MenuEntry kDebugMenu[] = {
    submenu("&Registers", kRegistersMenu),
    menu_item("&Memory", kCmdMemory, kGrayed),
    menu_item("&Commands", kCmdCommandsWindow),
    menu_separator(),
    menu_item("&Stop on unhandled opcode", kCmdStopOnUnhandled, false, CheckMark::kSet),
};

// With the console machine the Debug menu ends with the Screen window, which only it has.
inline constexpr MenuEntry kScreenItems[] = {
    menu_separator(),
    menu_item("S&creen", kCmdScreenWindow),
};
inline constexpr auto kConsoleDebugMenu = joined(kDebugMenu, kScreenItems);

inline constexpr MenuEntry kCpuThreadMenu[] = {
    menu_item("&High", kCmdPriorityHigh, false, CheckMark::kClear),
    menu_item("&Normal", kCmdPriorityNormal, false, CheckMark::kSet),
    menu_item("&Low", kCmdPriorityLow, false, CheckMark::kClear),
};

inline constexpr MenuEntry kPerformanceMenu[] = {
    submenu("CPU Thread", kCpuThreadMenu),
};

inline constexpr MenuEntry kHelpMenu[] = {
    menu_item("&About...", kCmdAbout),
};

// The menu bar, left to right. Current IPS is a command on the bar itself, with no drop-down.
inline constexpr MenuEntry kMenuBar[] = {
    submenu("&File", kFileMenu),   submenu("&Emulation", kEmulationMenu),
    submenu("&Debug", kDebugMenu), submenu("&Performance", kPerformanceMenu),
    submenu("&Help", kHelpMenu),   menu_item("Current &IPS", kCmdCurrentIps),
};
inline constexpr MenuEntry kConsoleMenuBar[] = {
    submenu("&File", kFileMenu),          submenu("&Emulation", kEmulationMenu),
    submenu("&Debug", kConsoleDebugMenu), submenu("&Performance", kPerformanceMenu),
    submenu("&Help", kHelpMenu),          menu_item("Current &IPS", kCmdCurrentIps),
};

// The menu bar of the machine chosen: the console's, or 0.2c's as it stands.
constexpr std::span<const MenuEntry> menu_bar_for(bool console) {
  if (console) return kConsoleMenuBar;
  return kMenuBar;
}
