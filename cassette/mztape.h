// mztape: cassette recordings to MZF files (decode) and MZF files to recordings (encode).
#pragma once

// The whole program; returns the exit status.
//   decode: 0 every file sound, 2 some file damaged or cut short, 3 a recording without any
//           file, 1 a usage error, an input that cannot be read or an output that cannot be
//           written.
//   encode: 0, or 1 with a message.
int MztapeMain(int argc, char** argv);
