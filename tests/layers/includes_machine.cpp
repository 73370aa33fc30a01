// Compiled by the layer tests with one layer's include paths at a time.
#include "machine/execution.h"
