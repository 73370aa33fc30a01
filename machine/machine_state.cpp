#include "machine/machine_state.h"

SharedState shared;
