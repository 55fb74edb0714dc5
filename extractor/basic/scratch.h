// The extractor's one scratch text, for the text a token lookup formats for an unassigned code.
// Copy it before the next lookup.
#pragma once

constexpr int kScratchTextSize = 64;
extern char ScratchText[kScratchTextSize];
