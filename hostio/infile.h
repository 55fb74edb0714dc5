// Opening the files a program reads.
#pragma once

#include <cstdio>

// Opens a file for binary reading; a directory counts as a file that cannot be opened.
FILE* OpenInputFile(const char* name);

// The file's length, found by seeking to its end; the position is back at the start afterwards.
long InputFileLength(FILE* file);

// Reads up to `size` bytes from the current position; returns how many came.
size_t ReadInput(FILE* file, void* to, size_t size);
