#include "packer/pandrel.h"

#include <cstdio>

int PandrelMain(int argc, char** argv) {
  (void)argc;
  (void)argv;
  std::printf("\nPandrel ver. 1.2\n\n");
  return 0;
}
