// The pulse search of the rates below 32000 Hz. At 8000 Hz a short pulse's half is one to three
// samples, at 22050 Hz five or six: one noisy sample past a threshold makes or loses an edge,
// one edge a sample off turns a short pulse into a long one, and a click splits a half. So below
// kSearchBelowHz the pulses are not read edge by edge but found whole: the signal is taken as a
// sequence of pulses, each high then low, each half and the whole pulse as long as a short or a
// long pulse at the tape's speed allows (a sample either way for the edges' rounding; wider while
// the speed is not known). Of all such sequences the search (Viterbi's, over steps of a sample or
// half a sample) keeps the one that best correlates with the samples; once a pulse lies
// kSearchLag steps back its end is sure, and the pulse goes to its stream with its kind. The
// edges are timed between the samples around them, as the hysteresis front end does, and the
// stream judges the pulse by them too.
#include <cmath>

#include "cassette/tape_stream.h"

namespace {

constexpr uint32_t kSearchBelowHz = 32000;
constexpr double kSearchStepUs = 62.5;      // a sample at 16000 Hz
constexpr double kCoarseSampleUs = 100.0;    // samples longer than this: below 10000 Hz
constexpr double kSpeedSlack = 0.1;          // wow, flutter and the speed's following, each way
constexpr double kUnknownSpeedSlack = 0.3;   // before the speed is known: 20 % fast to 20 % slow
constexpr uint64_t kSearchLag = 512;         // steps looked ahead before a pulse is decided
constexpr uint64_t kDecideEvery = 512;
constexpr float kWeakShare = 0.3f;           // a pulse this weak against the height: no pulse
constexpr float kLevelFade = 0.999f;         // the height's fall, pulse by pulse
constexpr double kLengthCost = 0.5;          // per square sample a half is off its length
static_assert(kSearchLag + kDecideEvery + 4 * static_cast<uint64_t>(kSearchMaxHalf) < kSearchHistory);
static_assert(2 * kSearchMaxHalf < static_cast<int>(kSearchRing));  // a whole pulse fits the rings
static_assert(kSearchMaxHalf < 32);                                // and its halves fit PackPulse

constexpr double kHalfUs[2][2] = {{kShortHighUs, kShortLowUs}, {kLongHighUs, kLongLowUs}};
constexpr double kSplitUs = (kShortPulseUs + kLongPulseUs) / 2.0;  // shorter: a short pulse

int ClampSteps(double steps) {
  if (steps < 1) return 1;
  if (steps > kSearchMaxHalf) return kSearchMaxHalf;
  return static_cast<int>(steps);
}

// The lengths searched for at the stream's speed, and what each costs at the pulses' height.
void SetLengths(TapePulseSearch* p, double sampleUs) {
  double unit = p->stream->unit;
  double stepUs = sampleUs / p->stepsPerSample;
  double split = kSplitUs * unit / stepUs;
  for (int k = 0; k < 2; ++k) {
    double slack = p->stream->speedFound ? kSpeedSlack : kUnknownSpeedSlack;
    double lo = unit * (1 - slack), hi = unit * (1 + slack);
    p->highMin[k] = ClampSteps(std::ceil((kHalfUs[k][0] * lo - sampleUs) / stepUs));
    p->highMax[k] = ClampSteps(std::floor((kHalfUs[k][0] * hi + sampleUs) / stepUs));
    p->lowMin[k] = ClampSteps(std::ceil((kHalfUs[k][1] * lo - sampleUs) / stepUs));
    p->lowMax[k] = ClampSteps(std::floor((kHalfUs[k][1] * hi + sampleUs) / stepUs));
    double total = kHalfUs[k][0] + kHalfUs[k][1];
    p->totalMin[k] = static_cast<int>(std::ceil((total * lo - sampleUs) / stepUs));
    p->totalMax[k] = static_cast<int>(std::floor((total * hi + sampleUs) / stepUs));
  }
  // Lengths away from the nominal cost a little, so that noise does not move an edge for nothing.
  for (int k = 0; k < 2; ++k) {
    for (int n = 0; n <= kSearchMaxHalf; ++n) {
      double high = (n * stepUs - kHalfUs[k][0] * unit) / sampleUs;
      double low = (n * stepUs - kHalfUs[k][1] * unit) / sampleUs;
      p->highCost[k][n] = p->level * kLengthCost * high * high;
      p->lowCost[k][n] = p->level * kLengthCost * low * low;
    }
  }
  // Short pulses end before the split between the kinds, long ones from it on.
  int splitStep = static_cast<int>(std::ceil(split));
  if (p->totalMax[0] >= splitStep) p->totalMax[0] = splitStep - 1;
  if (p->totalMin[1] < splitStep) p->totalMin[1] = splitStep;
}

uint16_t PackPulse(int kind, int high, int low) {
  return static_cast<uint16_t>(kind << 10 | high << 5 | low);
}

// One step of the search with the level `g` (positive: high). A pulse that began at step s, high
// for h steps and low for l up to this step t, scores what came before it, plus the levels of its
// high steps, less those of its low ones, less the costs of its lengths. With G the running sum of
// the levels and A(s) = (the best score of a sequence ending at s - 1) - G(s - 1), that is
// A(s) + 2 G(s + h - 1) - G(t) - costs: the best pulse to end here comes from two rings, with no
// state to move along.
void SearchStep(TapePulseSearch* p, float g) {
  uint64_t t = p->steps;
  double sum = p->sums[(t - 1) % kSearchRing] + g;
  p->sums[t % kSearchRing] = sum;
  double best = -1e300;
  uint16_t bestCode = 0;
  for (int k = 0; k < 2; ++k) {
    const double* lowCost = p->lowCost[k];
    for (int h = p->highMin[k]; h <= p->highMax[k]; ++h) {
      int from = p->totalMin[k] - h > p->lowMin[k] ? p->totalMin[k] - h : p->lowMin[k];
      int to = p->totalMax[k] - h < p->lowMax[k] ? p->totalMax[k] - h : p->lowMax[k];
      double highCost = p->highCost[k][h];
      for (int l = from; l <= to; ++l) {
        uint64_t begin = t + 1 - static_cast<uint64_t>(h + l);
        double score = p->starts[begin % kSearchRing] +
                       2 * p->sums[(t - static_cast<uint64_t>(l)) % kSearchRing] - highCost -
                       lowCost[l];
        if (score > best) {
          best = score;
          bestCode = PackPulse(k, h, l);
        }
      }
    }
  }
  p->starts[(t + 1) % kSearchRing] = best - 2 * sum;
  p->from[(t + 1) % kSearchHistory] = bestCode;
  p->steps = t + 1;
}

// Where the step boundary `step` lies in frames: at the sign change of the samples next to it
// (upward for a rising edge), timed between the two samples; halfway between them when there is
// none.
double EdgeFrame(const TapePulseFinder* f, const TapePulseSearch* p, uint64_t step, bool rising,
                 uint64_t frames) {
  uint64_t n = (step + static_cast<uint64_t>(p->stepsPerSample / 2)) /
               static_cast<uint64_t>(p->stepsPerSample);
  double best = static_cast<double>(step) * p->stepFrames - 0.5;
  double nearest = 2.0;
  // With steps of half a sample the search puts an edge within half a sample, and the sign
  // change is looked for right there; with steps of a sample, and where a sample is a quarter of
  // a short pulse (below 10000 Hz), a sample either way too, which times a pulse that a click
  // bent nearer the middle of the two kinds, where its stream doubts it.
  uint64_t reach = p->stepsPerSample == 1 || p->sampleUs > kCoarseSampleUs ? 1 : 0;
  for (uint64_t m = n > reach ? n - reach : 1; m <= n + reach && m < frames; ++m) {
    if (frames - (m - 1) >= kSearchSamples) continue;
    float a = p->sign * f->samples[(m - 1) % kSearchSamples];
    float b = p->sign * f->samples[m % kSearchSamples];
    bool change = rising ? (a < 0.0f && b >= 0.0f) : (a >= 0.0f && b < 0.0f);
    if (!change) continue;
    double t = static_cast<double>(m - 1) + static_cast<double>(a / (a - b));
    double away = std::fabs(t - best);
    if (away < nearest) {
      nearest = away;
      best = t;
    }
  }
  return best;
}

// The search finds pulses in silence and noise too: one whose samples lie far below the pulses'
// height is none (a bad pulse). A sample the level changed in is not judged. The height is the
// pulses' mean level, falling slowly while none is found. (Whether a pulse is in doubt, its
// stream judges from its edges.)
int JudgePulse(const TapePulseFinder* f, TapePulseSearch* p, uint64_t begin, uint64_t middle,
               uint64_t end, uint64_t frames) {
  uint64_t sub = static_cast<uint64_t>(p->stepsPerSample);
  uint64_t first = (begin + sub - 1) / sub;
  if (frames - first >= kSearchSamples) return 0;
  float sum = 0.0f;
  int n = 0;
  for (uint64_t m = first; (m + 1) * sub <= end; ++m) {
    bool high = (m + 1) * sub <= middle;
    if (!high && m * sub < middle) continue;  // the sample the level changed in
    sum += (high ? p->sign : -p->sign) * f->samples[m % kSearchSamples];
    ++n;
  }
  if (n == 0) return 0;
  float mean = sum / static_cast<float>(n);
  if (p->level > 0.0f && mean < kWeakShare * p->level) {
    p->level *= kLevelFade;
    return kPulseBad;
  }
  p->level += (mean - p->level) * 0.0625f;
  return 0;
}

// Traces the best sequence back from the last step and hands on its pulses that begin at or after
// `decided` and end `lag` steps or more before the last, oldest first.
void Decide(const TapePulseFinder* f, TapePulseSearch* p, uint64_t lag, uint64_t frames) {
  if (p->steps <= lag) return;
  // The pulse going on at the last step: where it began. Scores here leave out G(t).
  uint64_t t = p->steps - 1;
  double now = p->sums[t % kSearchRing];
  double top = -1e300;
  int ran = 1;
  for (int k = 0; k < 2; ++k) {
    for (int h = 1; h <= p->highMax[k]; ++h) {
      double high = p->starts[(t + 1 - static_cast<uint64_t>(h)) % kSearchRing];
      if (high > top) {
        top = high;
        ran = h;
      }
      if (h < p->highMin[k]) continue;
      for (int l = 1; l <= p->lowMax[k]; ++l) {
        uint64_t begin = t + 1 - static_cast<uint64_t>(h + l);
        double low = p->starts[begin % kSearchRing] +
                     2 * (p->sums[(t - static_cast<uint64_t>(l)) % kSearchRing] - now) -
                     p->highCost[k][h];
        if (low > top) {
          top = low;
          ran = h + l;
        }
      }
    }
  }
  uint64_t until = p->steps - lag;
  uint64_t oldest = p->steps > kSearchHistory ? p->steps - kSearchHistory : 0;
  uint64_t start = p->steps - static_cast<uint64_t>(ran);
  uint16_t found[kSearchHistory / 2];  // a pulse takes two steps at least
  uint64_t begins[kSearchHistory / 2];
  int count = 0;
  while (start > oldest && start > p->decided && count < static_cast<int>(kSearchHistory / 2)) {
    uint16_t code = p->from[start % kSearchHistory];
    uint64_t high = code >> 5 & 31, low = code & 31;
    if (high == 0 || low == 0 || high + low > start) break;
    start -= high + low;
    if (start < p->decided) break;
    if (start + high + low <= until) {
      found[count] = code;
      begins[count++] = start;
    }
  }
  for (int i = count - 1; i >= 0; --i) {
    uint64_t high = found[i] >> 5 & 31, low = found[i] & 31;
    int kind = found[i] >> 10 & 1;
    bool follows = p->lastEnd >= 0 && begins[i] == p->decided;
    // Steps counted from the first sample.
    uint64_t first = begins[i] - kSearchRing, middle = first + high, end = middle + low;
    double begin = follows ? p->lastEnd : EdgeFrame(f, p, first, true, frames);
    double turn = EdgeFrame(f, p, middle, false, frames);
    double to = EdgeFrame(f, p, end, true, frames);
    if (JudgePulse(f, p, first, middle, end, frames) == kPulseBad) kind = kPulseBad;
    // Silence and weak noise give one bad pulse, as a gap in the edges would.
    if (kind != kPulseBad || !p->lastBad) TakePulse(p->stream, begin, turn, to, kind);
    p->lastBad = kind == kPulseBad;
    p->lastEnd = to;
    p->decided = end + kSearchRing;
  }
}

void StartSearch(TapePulseSearch* p, TapeStream* stream, float sign, uint32_t sampleRate) {
  *p = TapePulseSearch{};
  p->stream = stream;
  p->sign = sign;
  double sampleUs = 1e6 / sampleRate;
  // Two steps a sample at the lowest rates, where an edge between two samples matters; one from
  // a sample of about kSearchStepUs on.
  p->stepsPerSample = sampleUs > kSearchStepUs * 1.1 ? 2 : 1;
  p->stepFrames = 1.0 / p->stepsPerSample;
  p->sampleUs = sampleUs;
  p->lastEnd = -1;
  p->steps = kSearchRing;  // steps count from here, so that the rings reach back from the start
  p->decided = kSearchRing;
  SetLengths(p, sampleUs);
}

bool SearchActive(const TapePulseSearch* p) {
  return p->stream != nullptr && StreamActive(p->stream->decoder, p->stream->index);
}

}  // namespace

bool PulseSearchWanted(uint32_t sampleRate) { return sampleRate < kSearchBelowHz; }

void StartPulseFinder(TapePulseFinder* finder, uint32_t sampleRate, TapeStream* rising,
                      TapeStream* falling) {
  *finder = TapePulseFinder{};
  StartSearch(&finder->search[0], rising, 1.0f, sampleRate);
  StartSearch(&finder->search[1], falling, -1.0f, sampleRate);
  finder->sampleUs = 1e6 / sampleRate;
}

void RunPulseFinder(TapePulseFinder* finder, float value, uint64_t frame) {
  finder->samples[frame % kSearchSamples] = value;
  for (TapePulseSearch& p : finder->search) {
    if (!SearchActive(&p)) continue;
    float g = p.sign * value;
    for (int k = 0; k < p.stepsPerSample; ++k) SearchStep(&p, g);
    if (p.steps - p.decided >= kSearchLag + kDecideEvery &&
        p.steps % kDecideEvery < static_cast<uint64_t>(p.stepsPerSample)) {
      Decide(finder, &p, kSearchLag, frame + 1);
      SetLengths(&p, finder->sampleUs);
    }
  }
}

void FinishPulseFinder(TapePulseFinder* finder, uint64_t frames) {
  for (TapePulseSearch& p : finder->search) {
    if (SearchActive(&p)) Decide(finder, &p, 0, frames);
  }
}
