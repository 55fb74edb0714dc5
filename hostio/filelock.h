// Runs that read a file, change it and write it back take turns through an exclusive lock.
#pragma once

// Locks the file under `first`, or under `second` when `first` cannot be opened (nullptr for
// none), and holds the lock until UnlockFile. Each run holds it from before it reads the file
// until its new file has been renamed over the old one. A run that waited for the lock holds it
// on the file that was replaced meanwhile; it sees that the name now stands for another file and
// locks that one, so it reads what the run before it wrote. Returns the locked descriptor, or -1
// when nothing is locked: no file to lock, or a file system without locks.
int LockFile(const char* first, const char* second);

// Gives the lock up; -1 is no lock.
void UnlockFile(int lock);
