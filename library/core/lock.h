// The library lock: recursive for its holder, handed to waiting threads in
// the order in which they started waiting. Public entries that take it are
// thin wrappers (lock, the body named with the suffix _Unlocked, unlock); the
// library's own code calls the bodies.
#pragma once

void EnterLibraryLock();
void LeaveLibraryLock();
// Threads queued for the lock (for diagnostics and tests).
int LibraryLockWaitingCount();
// True when the calling thread holds the lock.
bool LibraryLockHeldByCaller();
// Closes the lock's events and guard; the next EnterLibraryLock makes it anew.
void DestroyLibraryLock();
