/// @file
/// What the shared libraries export. They are built with hidden visibility, so that only the
/// classes and functions marked here belong to their ABI and the internal ones may change freely.
#pragma once

#if defined(_WIN32)
// The Windows DLLs export every symbol (the linker's default without dllexport).
#define Q4471_API
#else
/// Marks a class or function that programs reach through the shared libraries.
#define Q4471_API __attribute__((visibility("default")))
#endif

/// The framework's names: exceptions, components, threads, locks, the application's services and
/// their bindings. A namespace of the project's own, so that they cannot collide with a program's
/// names; the serial component's TVa and EVa names stay global.
namespace q4471 {}
