#pragma once

#include <string>

// The target description gdb reads with qXfer:features:read (annex "target.xml"): the VR4300's
// architecture name and the three register features gdb's MIPS support requires together, every
// register 64 bits wide and numbered as in the register layout.
const std::string& target_description();
