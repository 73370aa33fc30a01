#include "debugger/gdb/target_description.h"

#include "debugger/gdb/register_layout.h"

namespace {

void add_register(std::string& xml, const std::string& name, int number,
                  const char* attributes = "") {
  xml += "<reg name=\"" + name + "\" bitsize=\"64\" regnum=\"" + std::to_string(number) + "\"" +
         attributes + "/>\n";
}

std::string build_description() {
  std::string xml =
      "<?xml version=\"1.0\"?>\n<target version=\"1.0\">\n"
      "<architecture>mips:4300</architecture>\n"
      "<feature name=\"org.gnu.gdb.mips.cpu\">\n";
  // Names appended rather than "r" + number: GCC 12 warns wrongly (-Wrestrict) of the sum's copy.
  for (int n = 0; n < 32; ++n) add_register(xml, std::string("r").append(std::to_string(n)), n);
  add_register(xml, "lo", kGdbLo);
  add_register(xml, "hi", kGdbHi);
  add_register(xml, "pc", kGdbPc);
  xml += "</feature>\n<feature name=\"org.gnu.gdb.mips.cp0\">\n";
  add_register(xml, "status", kGdbStatus);
  add_register(xml, "badvaddr", kGdbBadVaddr);
  add_register(xml, "cause", kGdbCause);
  xml += "</feature>\n<feature name=\"org.gnu.gdb.mips.fpu\">\n";
  for (int n = 0; n < 32; ++n) {
    add_register(xml, std::string("f").append(std::to_string(n)), kGdbF0 + n,
                 " type=\"ieee_double\"");
  }
  add_register(xml, "fcsr", kGdbFcsr, " group=\"float\"");
  add_register(xml, "fir", kGdbFir, " group=\"float\"");
  xml += "</feature>\n</target>\n";
  return xml;
}

}  // namespace

const std::string& target_description() {
  static const std::string description = build_description();
  return description;
}
