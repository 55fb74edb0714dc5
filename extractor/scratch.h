// The extractor's one scratch text: the output base name during an extraction, and the text
// a token lookup formats for an unassigned code. Copy it before the next use.
#pragma once

constexpr int kScratchTextSize = 64;
extern char ScratchText[kScratchTextSize];
