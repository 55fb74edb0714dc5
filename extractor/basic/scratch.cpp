#include "extractor/basic/scratch.h"

char ScratchText[kScratchTextSize];
