// Drasil, the QD tool: formats a QD image, lists it, adds MZF files to it.
#include <cstdio>

int DrasilMain(int argc, char** argv) {
  (void)argc;
  (void)argv;
  std::printf("\nDrasil V 0.30\n\n");
  return 0;
}

// Built once as the program and once, with DRASIL_LIBRARY, as a library for the tests.
#ifndef DRASIL_LIBRARY
int main(int argc, char** argv) { return DrasilMain(argc, argv); }
#endif
