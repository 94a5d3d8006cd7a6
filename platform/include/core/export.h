// What crosses a shared library's edge: every other symbol stays hidden.
#pragma once

// Symbols of the platform library that the module and the console host may call.
#define KV_PLATFORM_API __attribute__((visibility("default")))
// The few symbols a module exports to the host: its entry points and its resources.
#define KV_MODULE_EXPORT extern "C" __attribute__((visibility("default")))
