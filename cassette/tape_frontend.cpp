// The front end of one channel: clicks taken out (the middle of five samples), a low-pass against
// noise, a high-pass against DC and hum, then edges found with a hysteresis that follows the
// pulses' height. An edge's time is the zero crossing just before the level passed the
// hysteresis, interpolated between the two samples.
// Below 32000 Hz the filtered samples go to the pulse search instead (tape_pulses.cpp).
#include <cmath>

#include "cassette/tape_stream.h"

namespace {

constexpr double kLowPassHz = 5000.0;
constexpr double kHighPassHz = 150.0;
constexpr float kHysteresisShare = 0.2f;  // of the pulses' height
constexpr float kLevelFloor = 1e-5f;
constexpr double kDropAfterUs = 3000.0;   // no half pulse is this long

}  // namespace

// An edge ends a pulse of one stream and halves a pulse of the other.
void HandOn(TapeFrontEnd* front, bool rising, double time) {
  TapeStream* ends = rising ? front->rising : front->falling;
  TapeStream* halves = rising ? front->falling : front->rising;
  if (halves != nullptr) halves->middle = time;
  if (ends != nullptr) TakeEdge(ends, time);
}

namespace {

// The middle of five samples: a click of one or two samples goes, an edge stays where it is. The
// edge reader serves the rates from 32000 Hz up (the pulse search the lower ones), where a half
// pulse is six samples or more.
float Lower(float a, float b) { return b < a ? b : a; }
float Higher(float a, float b) { return a < b ? b : a; }

float Median5(float a, float b, float c, float d, float e) {
  // The lower of the lower ones of two pairs lies below the middle, the higher of the higher ones
  // above it: the middle of the five is the middle of the other three.
  float x = Higher(Lower(a, b), Lower(c, d));
  float y = Lower(Higher(a, b), Higher(c, d));
  return Higher(Lower(x, y), Lower(Higher(x, y), e));
}

// The pulses' height follows each half-period's peak; a click can lift it only a little at once.
void FollowLevel(TapeFrontEnd* front) {
  float peak = front->halfPeak;
  float limit = 3.0f * front->env + kLevelFloor;
  if (peak > limit) peak = limit;
  front->env += (peak - front->env) * 0.25f;
  front->hyst = front->env * kHysteresisShare;
  front->halfPeak = 0.0f;
  front->sinceFlip = 0;
}

// A flip of the hysteresis. Two flips closer than a click's length undo each other.
void Flip(TapeFrontEnd* front) {
  FollowLevel(front);
  front->high = !front->high;
  double time = front->high ? front->crossUp : front->crossDown;
  if (front->pending && time - front->pendingTime < front->minHalf) {
    front->pending = false;
    return;
  }
  if (front->pending) HandOn(front, front->pendingRising, front->pendingTime);
  front->pending = true;
  front->pendingRising = front->high;
  front->pendingTime = time;
}

// No edge for longer than any half pulse: the level fell (a dropout, the end of a signal).
void Sink(TapeFrontEnd* front) {
  front->env *= 0.5f;
  front->hyst = front->env * kHysteresisShare;
  front->sinceFlip = 0;
}

}  // namespace

void StartFrontEnd(TapeFrontEnd* front, uint32_t sampleRate, TapeStream* rising,
                   TapeStream* falling) {
  const double pi = 3.14159265358979323846;
  double rate = static_cast<double>(sampleRate);
  *front = TapeFrontEnd{};
  front->lpGain = static_cast<float>(1.0 - std::exp(-2.0 * pi * kLowPassHz / rate));
  double rc = 1.0 / (2.0 * pi * kHighPassHz);
  front->hpGain = static_cast<float>(rc / (rc + 1.0 / rate));
  front->env = kLevelFloor;
  front->hyst = kLevelFloor * kHysteresisShare;
  front->maxHalf = static_cast<uint32_t>(kDropAfterUs * rate / 1e6);
  // No half pulse is shorter than this: two flips closer together are a click. At the lowest
  // rates a short pulse's half may be one sample only, and noise moves its edges by a fraction.
  double clickUs = sampleRate < 10000 ? 60.0 : 100.0;
  front->minHalf = clickUs * rate / 1e6;
  front->rising = rising;
  front->falling = falling;
}

namespace {

// NaN reads as silence, far beyond full scale as clipped.
float Bounded(float x) {
  if (!(x == x)) return 0.0f;
  return x > 8.0f ? 8.0f : (x < -8.0f ? -8.0f : x);
}

// The one-pole low-pass, then the high-pass, over one sample.
float Filter(float x, float lpGain, float hpGain, float* lp, float* lpPrev, float* hp) {
  *lp += lpGain * (x - *lp);
  *hp = hpGain * (*hp + *lp - *lpPrev);
  *lpPrev = *lp;
  return *hp;
}

// The same filters, the pulses then found by the pulse search.
void RunPulseFinderOver(TapeFrontEnd* front, const float* samples, size_t count, size_t stride,
                        uint64_t firstFrame) {
  float lp = front->lp;
  float lpPrev = front->lpPrev;
  float hp = front->hp;
  const float lpGain = front->lpGain;
  const float hpGain = front->hpGain;
  for (size_t i = 0; i < count; ++i) {
    float v = Filter(Bounded(samples[i * stride]), lpGain, hpGain, &lp, &lpPrev, &hp);
    RunPulseFinder(front->pulses, v, firstFrame + i);
  }
  front->lp = lp;
  front->lpPrev = lpPrev;
  front->hp = hp;
}

}  // namespace

void FinishFrontEnd(TapeFrontEnd* front, uint64_t frames) {
  if (front->pulses != nullptr) {
    FinishPulseFinder(front->pulses, frames);
    return;
  }
  if (!front->pending) return;
  front->pending = false;
  HandOn(front, front->pendingRising, front->pendingTime);
}

void RunFrontEnd(TapeFrontEnd* front, const float* samples, size_t count, size_t stride,
                 uint64_t firstFrame) {
  if (front->pulses != nullptr) {
    RunPulseFinderOver(front, samples, count, stride, firstFrame);
    return;
  }
  float lp = front->lp;
  float lpPrev = front->lpPrev;
  float hp = front->hp;
  float prev = front->prev;
  const float lpGain = front->lpGain;
  const float hpGain = front->hpGain;
  double base = static_cast<double>(firstFrame) - 1.0;
  float* held = front->held;
  for (size_t i = 0; i < count; ++i) {
    float x = Bounded(samples[i * stride]);
    float m = Median5(held[0], held[1], held[2], held[3], x);
    held[0] = held[1];
    held[1] = held[2];
    held[2] = held[3];
    held[3] = x;
    float v = Filter(m, lpGain, hpGain, &lp, &lpPrev, &hp);
    float a = std::fabs(v);
    if (a > front->halfPeak) front->halfPeak = a;
    if ((v < 0.0f) != (prev < 0.0f)) {
      double t = base + static_cast<double>(i) + static_cast<double>(prev / (prev - v));
      if (v >= 0.0f) {
        front->crossUp = t;
      } else {
        front->crossDown = t;
      }
    }
    prev = v;
    if (front->high ? v < -front->hyst : v > front->hyst) {
      Flip(front);
    } else if (++front->sinceFlip > front->maxHalf) {
      Sink(front);
    }
  }
  front->lp = lp;
  front->lpPrev = lpPrev;
  front->hp = hp;
  front->prev = prev;
}
