#include "ui/shared/machine_choice.h"

#include <optional>

#include "machine/menu_commands.h"

std::string choose_machine(std::string_view cpu, bool cpu_given, std::string_view hardware,
                           bool expansion) {
  const std::optional<CpuModel> model = cpu_model_named(cpu);
  if (!model) return "--cpu takes 0.2c or r4300i";
  const std::optional<Hardware> around = hardware_named(hardware);
  if (!around) return "--machine takes plain or console";
  if (*around == Hardware::console && cpu_given && *model != CpuModel::r4300i)
    return "the console machine has the complete processor (--cpu r4300i)";
  if (expansion && *around != Hardware::console)
    return "--expansion needs the console machine (--machine console)";
  choose_cpu_model(*model);
  choose_hardware(*around, expansion);
  return {};
}
