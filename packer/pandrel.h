// Pandrel, the packer: builds a new QD image "QDisk.mzq" from MZF files.
#pragma once

// The whole program. Returns the exit status.
int PandrelMain(int argc, char** argv);
