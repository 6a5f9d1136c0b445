#pragma once

#include <atomic>
#include <cstddef>

namespace auravox {

// Keeps a bus error in a shared mapping from ending the program.
//
// A mapping of a shared memory object that another process can shrink faults
// with SIGBUS on the first access past the object's new end. Checking the size
// before each use leaves a window between the check and the access; this closes
// it. A guarded range that faults is replaced in place by private zero pages
// (the access that faulted then completes, reading zeros or writing into the
// private copy) and its flag is set, so the owner sees a broken object after the
// access and can drop it. A bus error anywhere else is handled as before the
// guard was installed (by default it ends the program).
//
// The handler is installed at the first registration and stays. Ranges are
// kept in a fixed table; when it is full, a range is not guarded (the size
// checks still hold).
namespace BusErrorGuard {

// Guards [start, start + length) until unguard(start). `broken` is set (from
// the signal handler) when the range faulted; it must outlive the registration.
// False when the table is full.
bool guard(void *start, std::size_t length, std::atomic<bool> *broken);
// Stops guarding the range that begins at `start`. Call before unmapping it.
void unguard(void *start);

} // namespace BusErrorGuard

} // namespace auravox
