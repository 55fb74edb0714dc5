// What every fuzz target shares: a private working directory, and no program output on the
// terminal.
#pragma once

#include <cstddef>
#include <cstdint>

// Makes a fresh temporary directory the current one (once per process) and sends standard output
// to /dev/null. Every file a target writes goes there.
void EnterScratchDirectory();

// Removes every file in the scratch directory, so that runs do not pile up outputs.
void ClearScratchDirectory();

// Writes bytes as a file in the scratch directory.
void WriteScratchFile(const char* name, const uint8_t* data, size_t size);
