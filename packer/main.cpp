#include "packer/pandrel.h"

int main(int argc, char** argv) { return PandrelMain(argc, argv); }
