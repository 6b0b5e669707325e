#pragma once

// The Windows layer's own use of the error codes.

namespace SerialPlatform {

// Keeps the calling thread's Windows error (::GetLastError) for the component's GetLastError,
// which no later system call in between can then overwrite. Answers false, for the calls that
// fail with it.
bool FailWithSystemError();
// Keeps `code` likewise; answers false.
bool Fail(unsigned long code);

} // namespace SerialPlatform
