// Module handles as the platform checks them.
#pragma once

#include "core/export.h"

// True when handle is the handle of a library loaded now.
KV_PLATFORM_API bool kvIsModuleHandle(const void* handle);
