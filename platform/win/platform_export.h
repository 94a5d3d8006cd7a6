// Symbols of the platform library that the module and the console host may call.
#pragma once

#define KV_PLATFORM_API __attribute__((visibility("default")))
