// Output files that replace their old contents only once they are written completely.
//
// The bytes go to a temporary file beside the file that the name finally points to (symbolic
// links are followed); CommitOutput renames it over that file. A write that fails part-way
// leaves the old file as it was and no partial file behind.
#pragma once

#include <cstddef>
#include <cstdio>

constexpr int kPathCapacity = 4096;

struct OutputFile {
  FILE* stream;
  char target[kPathCapacity];  // the file that will be replaced or created
  char temp[kPathCapacity];    // where the bytes go until the commit
};

// Opens the temporary file. False when the output cannot be created: the name stands for a
// directory or a write-protected file, the directory refuses new files, or the path is too long.
bool OpenOutput(OutputFile* out, const char* name);

// Writes bytes; a failure is remembered by the stream and reported by CommitOutput.
void WriteOutput(OutputFile* out, const void* data, size_t size);

// Flushes, closes and renames the temporary file over the target. With `sync` the data is on the
// disk before the rename. False (and the temporary file removed) when any step failed.
bool CommitOutput(OutputFile* out, bool sync);

// Closes and removes the temporary file; the target stays as it was.
void DiscardOutput(OutputFile* out);

// The whole file in one go: OpenOutput, one write, CommitOutput.
bool WriteWholeFile(const char* name, const void* data, size_t size, bool sync);
