#include "extractor/velkor.h"

int main(int argc, char** argv) { return VelkorMain(argc, argv); }
