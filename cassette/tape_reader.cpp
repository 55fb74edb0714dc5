// The reader of one pulse stream: pulses measured edge to edge are sorted long or short against a
// threshold that follows the tape's speed; tape marks start blocks; every copy of a block is kept
// pulse by pulse and read into bytes when it ends, forward from its start and backward from its
// end, so that a dropout costs only the bytes it covers. The copies then make the block.
#include <bit>
#include <cmath>
#include <cstring>

#include "cassette/tape_stream.h"
#include "formats/bytes.h"
#include "formats/mzf.h"

namespace {

constexpr uint32_t kGapBeforeMark = 64;   // short pulses in front of a tape mark, at least
constexpr uint32_t kMarkPulsesMin = 10;   // long, then short pulses of a mark, at least
constexpr uint32_t kLongMarkMin = 30;     // a mark of this many long pulses is a long mark
constexpr uint32_t kMarkShortsMax = 100;  // the short pulses of a mark, at most (40, and strays)
constexpr uint32_t kCopyEndShorts = 64;   // no block holds this many short pulses in a row
constexpr uint32_t kNextCopyMin = 100;    // the 256 short pulses between copies, at least
constexpr uint32_t kGapShorts = 400;      // more than that: a gap, no second copy
constexpr uint32_t kSpeedRun = 32;        // short pulses in a row that set the speed
constexpr double kRunShare = 0.25;        // and how far from their mean each may lie
constexpr double kSlowest = 1.40;         // pulse length against nominal, at most
constexpr double kFastest = 0.70;
constexpr double kDoubtfulShare = 0.15;   // this near the middle, a pulse's length says little
constexpr uint32_t kEdgeDoubt = 2;        // bytes next to where a copy lost its sync

bool Passes(int use) { return use <= kBlockCombined; }

// The block's check: its last two bytes, high first, count the 1 bits of the bytes before.
bool CheckHolds(const uint8_t* bytes, uint32_t length) {
  if (length < kTapeCheckSize) return false;
  uint16_t stored = static_cast<uint16_t>(bytes[length - 2] << 8 | bytes[length - 1]);
  return TapeBlockCheck(bytes, length - kTapeCheckSize) == stored;
}

// A byte from nine pulses: the long start bit, then eight bits, most significant first.
bool ReadByte(const uint8_t* pulses, uint8_t* value) {
  if (pulses[0] != kPulseLong) return false;
  unsigned bits = 0;
  for (int i = 1; i <= 8; ++i) {
    if (pulses[i] > kPulseLong) return false;
    bits = bits << 1 | pulses[i];
  }
  *value = static_cast<uint8_t>(bits);
  return true;
}

// Long or short against the middle of the two lengths; one close to the middle is in doubt.
int Classify(const TapeStream* s, double period) {
  double u = s->unit;
  if (period < 0.35 * s->shortFrames * u || period > 2.0 * s->longFrames * u) return kPulseBad;
  double middle = 0.5 * (s->shortFrames + s->longFrames) * u;
  int kind = period < middle ? kPulseShort : kPulseLong;
  // Edges fall on samples: half a sample of the zone goes for that.
  if (std::fabs(period - middle) < kDoubtfulShare * middle - 0.5) kind |= kPulseDoubt;
  return kind;
}

// A pulse's first half is about as long as its kind says (464 or 240 us at nominal speed);
// filters and offsets skew it, but one that is nearer the other kind's means that an edge moved
// or went missing, and the pulse's bit is in doubt.
bool HalvesFit(const TapeStream* s, int kind, double start, double period) {
  double first = s->middle - start;
  if (first <= 0 || first >= period) return false;
  double us = s->unit * s->shortFrames / kShortPulseUs;  // frames per microsecond, at this speed
  if (kind == kPulseShort) return first < 0.85 * kLongHighUs * us;
  return first > 1.3 * kShortHighUs * us;
}

// The speed: set from a run of short pulses while searching (the gaps), then followed pulse by
// pulse inside the blocks.
void TrackSpeed(TapeStream* s, double period, int kind) {
  if (s->runCount > 0 && std::fabs(period - s->runMean) < kRunShare * s->runMean) {
    ++s->runCount;
    s->runMean += (period - s->runMean) * 0.125;
  } else {
    s->runCount = 1;
    s->runMean = period;
  }
  double runUnit = s->runMean / s->shortFrames;
  if (s->state == kSeekMark) {
    if (s->runCount >= kSpeedRun && runUnit > kFastest && runUnit < kSlowest) {
      s->unit = runUnit;
      s->speedFound = true;
    }
    return;
  }
  if (kind == kPulseBad || s->state != kInCopy) return;
  if (s->block.length != 0 && s->pulseCount >= s->block.length * 9) return;
  double target = period / (kind == kPulseLong ? s->longFrames : s->shortFrames);
  s->unit += (target - s->unit) * (1.0 / 32.0);
  if (s->unit < kFastest) s->unit = kFastest;
  if (s->unit > kSlowest) s->unit = kSlowest;
}

// The speed of a whole copy: its nominal length against the time its pulses took.
void MeasureSpeed(TapeStream* s, const uint8_t* bytes, uint32_t length) {
  if (s->copyEnd <= s->copyStart) return;
  double ones = static_cast<double>(length);  // the start bits
  for (uint32_t i = 0; i < length; ++i) ones += std::popcount(bytes[i]);
  double shorts = 9.0 * length - ones;
  s->nominalFrames += ones * s->longFrames + shorts * s->shortFrames;
  s->measuredFrames += s->copyEnd - s->copyStart;
}

void StartCopy(TapeStream* s, double start) {
  s->state = kInCopy;
  s->pulseCount = 0;
  s->shortRun = 0;
  s->bytePos = 0;
  s->faulted = false;
  s->fault = 0;
  s->copyStart = start;
  s->copyEnd = start;
  uint32_t length = s->block.length;
  s->pulseLimit = length != 0 ? length * 9 + 80 : kMaxCopyPulses;
}

void StartBlock(TapeStream* s, uint32_t length, bool body, double start) {
  s->block.copies = 0;
  s->block.length = length;
  s->block.pass[0] = s->block.pass[1] = false;
  s->readingBody = body;
  StartCopy(s, start);
}

// Bytes readable in sync backward from pulse `end` (exclusive), at most `most`.
uint32_t BytesBefore(const uint8_t* pulses, uint32_t end, uint32_t most) {
  uint8_t value = 0;
  uint32_t n = 0;
  while (n < most && (n + 1) * 9 <= end) {
    uint32_t from = end - (n + 1) * 9;
    if (!ReadByte(pulses + from, &value)) break;
    ++n;
  }
  return n;
}

// Where a copy ends: the long pulse after its check (unreadable when the signal stops right
// after it). Noise after the copy is passed over: of the places from `lowest` on, near the end,
// where a pulse that is not short follows, the one with the most bytes readable in sync before
// it. 0 when there is none.
uint32_t FindCopyEnd(const uint8_t* pulses, uint32_t stored, uint32_t lowest, uint32_t most) {
  if (stored > 200 && lowest < stored - 200) lowest = stored - 200;
  uint32_t best = 0, bestBytes = 0;
  for (uint32_t p = stored; p >= 9 && p >= lowest; --p) {
    if (p < stored && (pulses[p] & ~kPulseDoubt) == kPulseShort) continue;
    uint32_t n = BytesBefore(pulses, p, most);
    if (n > bestBytes) {
      best = p;
      bestBytes = n;
    }
  }
  return best;
}

// Bytes in sync from the copy's start, at most `most`.
uint32_t ReadForward(const uint8_t* pulses, uint32_t stored, uint32_t most, uint8_t* bytes,
                     uint8_t* good) {
  uint32_t first = 0;
  while (first < most && (first + 1) * 9 <= stored) {
    uint32_t from = first * 9;
    if (!ReadByte(pulses + from, &bytes[first])) break;
    good[first++] = 1;
  }
  return first;
}

// The bytes of a copy, read in bit sync forward from its start and backward from its end. The
// end lies beyond the bytes read forward: right after them when they are all there is (a block
// of unknown size), further on when bytes are missing.
void ParseCopy(TapeStream* s, uint32_t stored) {
  TapeBlock* b = &s->block;
  int c = b->copies;
  uint8_t* bytes = b->bytes[c];
  uint8_t* good = b->good[c];
  bool known = b->length != 0;
  uint32_t most = known ? b->length : kMaxBlockBytes;
  std::memset(bytes, 0, most);
  std::memset(good, 0, most);
  uint32_t first = ReadForward(s->pulses, stored, most, bytes, good);
  uint32_t anchor = FindCopyEnd(s->pulses, stored, known ? first * 9 + 1 : first * 9, most);
  if (!known) {
    b->length = anchor / 9;  // a block of unknown size ends where its pulses end
    if (b->length < kTapeCheckSize) b->length = kTapeCheckSize;
    if (b->length > kMaxBlockBytes) b->length = kMaxBlockBytes;
  }
  uint32_t length = b->length;
  if (first > length) first = length;
  for (uint32_t i = length; i < most; ++i) good[i] = 0;
  uint32_t last = length;  // the first byte read backward
  while (last > first && anchor >= (length - last + 1) * 9) {
    uint32_t from = anchor - (length - last + 1) * 9;
    if (!ReadByte(s->pulses + from, &bytes[last - 1])) break;
    good[--last] = 1;
  }
  // The bytes next to where the copy lost its sync may hold a pulse the loss bent.
  if (first < last) {
    for (uint32_t i = 0; i < kEdgeDoubt && first > i; ++i) good[first - 1 - i] = 0;
    for (uint32_t i = 0; i < kEdgeDoubt && last + i < length; ++i) good[last + i] = 0;
  }
  b->goodFirst[c] = first;
  // Whole: every byte in sync, the check holding, and no short pulse after the check.
  uint32_t end = length * 9;
  bool closed = stored == end || (stored > end && (s->pulses[end] & ~kPulseDoubt) != kPulseShort);
  b->pass[c] = first == length && closed && CheckHolds(bytes, length);
  // A copy's end time is taken as its last pulse comes in, so only for a block of known size.
  if (b->pass[c] && known) MeasureSpeed(s, bytes, length);
  b->problem[c] = static_cast<uint64_t>(s->faulted ? s->fault : s->copyStart);
  b->copies = c + 1;
}

// Copy 1 where its bytes were lost, from copy 2; sound only when every byte is there, the two
// copies agree wherever both were read in sync, and the check holds.
bool CombineCopies(TapeBlock* b) {
  bool whole = true;
  for (uint32_t i = 0; i < b->length; ++i) {
    if (b->good[0][i] != 0 && b->good[1][i] != 0 && b->bytes[0][i] != b->bytes[1][i]) return false;
    if (b->good[0][i] == 0 && b->good[1][i] != 0) {
      b->bytes[0][i] = b->bytes[1][i];
      b->good[0][i] = 1;
    }
    whole = whole && b->good[0][i] != 0;
  }
  return whole && CheckHolds(b->bytes[0], b->length);
}

// Which copy makes the block; its bytes end up in the first copy's buffer. Two copies that both
// pass their check but differ cannot both be right: neither is taken.
int ChooseCopy(TapeBlock* b) {
  bool both = b->copies == 2 && b->pass[0] && b->pass[1];
  if (both && std::memcmp(b->bytes[0], b->bytes[1], b->length) != 0) return kBlockFailed;
  if (b->pass[0]) return kBlockFirstCopy;
  if (b->copies == 2 && b->pass[1]) {
    std::memcpy(b->bytes[0], b->bytes[1], b->length);
    return kBlockSecondCopy;
  }
  if (b->copies == 2 && CombineCopies(b)) return kBlockCombined;
  return kBlockFailed;
}

// How well a file was read, to choose among the streams that read it: sound blocks first, then
// the share of body bytes read in sync.
double ReadQuality(const TapeStream* s) {
  double q = (Passes(s->file.headerRead.use) ? 4.0 : 0.0) + (Passes(s->file.bodyRead.use) ? 2.0 : 0.0);
  uint32_t good = 0;
  for (uint32_t i = 0; i < s->file.bodyLength && i < s->block.length; ++i) good += s->block.good[0][i];
  return q + static_cast<double>(good) / (s->file.bodyLength + 1.0);
}

void Report(TapeStream* s) {
  s->file.sound = Passes(s->file.headerRead.use) && Passes(s->file.bodyRead.use) &&
                  s->bodyKnown && s->file.bodyLength == s->bodySize;
  ReportFile(s->decoder, s->index, &s->file, ReadQuality(s));
  s->headerDone = false;
}

void ReportNoBody(TapeStream* s, int use, uint64_t frame) {
  s->file.body = s->block.bytes[0];
  s->file.bodyLength = 0;
  s->file.bodyRead = TapeBlockRead{use, frame};
  Report(s);
}

void HeaderDone(TapeStream* s, int use) {
  std::memcpy(s->file.header, s->block.bytes[0], kTapeHeaderSize);
  s->file.headerRead = TapeBlockRead{use, s->block.problem[0]};
  s->headerDone = true;
  s->bodyKnown = Passes(use);
  s->bodySize = s->bodyKnown ? Get16(s->file.header + kMzfSizeAt) : 0;
  if (s->bodyKnown) NoteSoundHeader(s->decoder, s->index);
}

void BodyDone(TapeStream* s, int use, uint32_t length, uint64_t problem) {
  s->file.body = s->block.bytes[0];
  s->file.bodyLength = length;
  s->file.bodyRead = TapeBlockRead{use, problem};
  Report(s);
}

void FinishBlock(TapeStream* s) {
  int use = ChooseCopy(&s->block);
  if (!s->readingBody) {
    HeaderDone(s, use);
  } else {
    BodyDone(s, use, s->block.length - kTapeCheckSize, s->block.problem[0]);
  }
}

void SeekAgain(TapeStream* s, uint32_t gap) {
  s->state = kSeekMark;
  s->seekGap = gap;
  s->seekLongs = 0;
  s->seekShorts = 0;
  s->seekErrors = 0;
}

void MarkFound(TapeStream* s, bool longMark, double start) {
  s->markSeen = true;
  if (longMark) {
    if (s->headerDone) ReportNoBody(s, kBlockMissing, static_cast<uint64_t>(s->markStart));
    s->file = TapeFileRead{};
    s->file.startFrame = static_cast<uint64_t>(s->markStart);
    StartBlock(s, kTapeHeaderSize + kTapeCheckSize, false, start);
  } else if (s->headerDone) {
    StartBlock(s, s->bodyKnown ? s->bodySize + kTapeCheckSize : 0, true, start);
  } else {
    SeekAgain(s, 0);  // a body with no header: nothing to read it into
  }
}

// Searching: a gap of short pulses, long pulses, short pulses, then the one long pulse. A stray
// pulse in the gap is passed over, and so are up to two inside the mark.
void Seek(TapeStream* s, int kind, double start) {
  if (kind == kPulseBad) {
    if (s->seekLongs > 0 && ++s->seekErrors > 2) SeekAgain(s, 0);
  } else if (kind == kPulseShort) {
    if (s->seekLongs == 0) {
      ++s->seekGap;
    } else if (s->seekLongs < kMarkPulsesMin) {
      s->seekLongs = 0;  // stray long pulses in the gap
      ++s->seekGap;
    } else if (++s->seekShorts > kMarkShortsMax) {
      // More short pulses than a mark holds: a gap, after stray long pulses.
      uint32_t gap = s->seekShorts;
      SeekAgain(s, gap);
    }
  } else if (s->seekShorts >= kMarkPulsesMin) {
    bool longMark = s->seekLongs >= kLongMarkMin;
    SeekAgain(s, 0);
    MarkFound(s, longMark, start);
  } else if (s->seekShorts > 0 && s->seekErrors < 2) {
    ++s->seekErrors;  // a stray short pulse among the mark's long ones
    s->seekShorts = 0;
    ++s->seekLongs;
  } else if (s->seekShorts > 0) {
    SeekAgain(s, 0);
  } else if (s->seekGap >= kGapBeforeMark || s->seekLongs > 0) {
    if (s->seekLongs == 0) s->markStart = start;
    ++s->seekLongs;
  } else {
    s->seekGap = 0;
  }
}

// The first place a copy's pulses break the bytes' framing.
void WatchFraming(TapeStream* s, int kind, double start) {
  if (s->faulted || (s->block.length != 0 && s->pulseCount > s->block.length * 9)) return;
  if (kind == kPulseBad || (s->bytePos == 0 && kind != kPulseLong)) {
    s->faulted = true;
    s->fault = start;
  }
  s->bytePos = s->bytePos == 8 ? 0 : s->bytePos + 1;
}

void EndCopy(TapeStream* s, bool shortsAfter) {
  uint32_t stored = s->pulseCount;
  if (shortsAfter) stored -= kCopyEndShorts;
  ParseCopy(s, stored);
  if (s->block.copies == 2) {
    FinishBlock(s);
    SeekAgain(s, s->shortRun);
  } else {
    s->state = kAfterCopy;
  }
}

void InCopy(TapeStream* s, int kind, double start) {
  // The copy's time runs from its first start bit: the first copy is opened by the long pulse
  // after the tape mark, which is not one of its own.
  if (s->pulseCount == 0) s->copyStart = start;
  if (s->pulseCount == s->block.length * 9) s->copyEnd = start;
  s->pulses[s->pulseCount++] = static_cast<uint8_t>(kind);
  WatchFraming(s, kind, start);
  s->shortRun = kind == kPulseShort ? s->shortRun + 1 : 0;
  if (s->shortRun == kCopyEndShorts) {
    EndCopy(s, true);
  } else if (s->pulseCount == s->pulseLimit) {
    EndCopy(s, false);
  }
}

// Between the copies: 256 short pulses and the second copy, or a gap (one copy only).
void AfterCopy(TapeStream* s, int kind, double start) {
  if (kind == kPulseShort) {
    if (++s->shortRun < kGapShorts) return;
    FinishBlock(s);
    SeekAgain(s, s->shortRun);
  } else if (kind == kPulseLong && s->shortRun >= kNextCopyMin) {
    StartCopy(s, start);
    InCopy(s, kind, start);
  } else if (kind == kPulseLong) {
    s->shortRun = 0;
  }
}

void Dispatch(TapeStream* s, int kind, double start) {
  if (s->state == kSeekMark) {
    Seek(s, kind, start);
  } else if (s->state == kInCopy) {
    InCopy(s, kind, start);
  } else {
    AfterCopy(s, kind, start);
  }
}

}  // namespace

void StartStream(TapeStream* stream, TapeDecoder* decoder, int index, uint32_t sampleRate,
                 uint8_t* storage) {
  *stream = TapeStream{};
  stream->decoder = decoder;
  stream->index = index;
  stream->channel = index / 2;
  stream->inverted = index % 2 == 1;
  stream->shortFrames = kShortPulseUs * 1e-6 * sampleRate;
  stream->longFrames = kLongPulseUs * 1e-6 * sampleRate;
  stream->unit = 1.0;
  stream->state = kSeekMark;
  stream->pulses = storage;
  storage += kMaxCopyPulses;
  for (int c = 0; c < 2; ++c) {
    stream->block.bytes[c] = storage;
    storage += kMaxBlockBytes;
    stream->block.good[c] = storage;
    storage += kMaxBlockBytes;
  }
}

namespace {

// A pulse of `kind`, however found: it sets the speed, and in a block copy it is in doubt when its
// halves do not fit its kind, or, with `againstTimed`, when timed edge to edge it reads as the
// other kind or near the middle of the two.
void ReadPulse(TapeStream* s, int kind, double start, double period, bool againstTimed) {
  TrackSpeed(s, period, kind & ~kPulseDoubt);
  if (kind != kPulseBad && s->state == kInCopy) {
    bool other = againstTimed && Classify(s, period) != (kind & kPulseLong);
    if (other || !HalvesFit(s, kind & kPulseLong, start, period)) kind |= kPulseDoubt;
  }
  Dispatch(s, kind, start);
}

}  // namespace

void TakeEdge(TapeStream* s, double frame) {
  if (!StreamActive(s->decoder, s->index)) return;
  if (!s->haveEdge) {
    s->haveEdge = true;
    s->lastEdge = frame;
    return;
  }
  double start = s->lastEdge;
  double period = frame - start;
  s->lastEdge = frame;
  s->lastFrame = static_cast<uint64_t>(frame);
  int kind = Classify(s, period);
  if (s->state != kInCopy) kind &= ~kPulseDoubt;
  ReadPulse(s, kind, start, period, false);
}

// The search's pulse must say the same as its edges: where a half pulse is a few samples, a click
// can swap a short and a long pulse, which the check cannot see, and the pulses it leaves read
// otherwise, or near the middle of the two kinds, when timed edge to edge.
void TakePulse(TapeStream* s, double start, double middle, double end, int kind) {
  if (!StreamActive(s->decoder, s->index)) return;
  s->middle = middle;
  if (kind != kPulseBad) s->lastFrame = static_cast<uint64_t>(end);  // where the pulses ran to
  ReadPulse(s, kind, start, end - start, true);
}

// The recording ended: a block still being read is reported, whole when a copy already passed,
// else as cut where the recording ends.
void FinishStream(TapeStream* s, uint64_t endFrame) {
  if (s->state == kSeekMark) {
    if (s->headerDone) ReportNoBody(s, kBlockCut, endFrame);
    return;
  }
  bool partial = s->state == kInCopy && (s->block.length == 0 || s->pulseCount < s->block.length * 9);
  if (s->state == kInCopy) ParseCopy(s, s->pulseCount);
  // Cut short: the copy being read had not got all its pulses, and they went on up to the end.
  bool cut = partial && s->lastFrame + static_cast<uint64_t>(50 * s->longFrames) >= endFrame;
  SeekAgain(s, 0);
  bool passed = s->block.pass[0] || (s->block.copies == 2 && s->block.pass[1]);
  if (!cut || passed) {
    FinishBlock(s);
  } else if (!s->readingBody) {
    s->file.headerRead = TapeBlockRead{kBlockCut, endFrame};
    std::memcpy(s->file.header, s->block.bytes[0], kTapeHeaderSize);
    s->bodyKnown = false;
    ReportNoBody(s, kBlockCut, endFrame);
  } else {
    uint32_t length = s->block.goodFirst[0];
    if (length > s->block.length - kTapeCheckSize) length = s->block.length - kTapeCheckSize;
    BodyDone(s, kBlockCut, length, endFrame);
  }
  if (s->headerDone) ReportNoBody(s, kBlockCut, endFrame);
}
