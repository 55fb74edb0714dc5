#include "cassette/mztape.h"

int main(int argc, char** argv) { return MztapeMain(argc, argv); }
