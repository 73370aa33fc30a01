#include "memory/storage.h"

MemoryStorage memory{};
