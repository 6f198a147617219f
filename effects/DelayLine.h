#pragma once
// Ring-buffer delay lines of the reverbs.

#include <memory>

// A value written in frame t is read in frame t + length - 1: the read position runs one ahead
// of the write position. While `unfilled` is set (from a reset until the read position first
// reaches data written since), reads yield 0, so a reset never needs to clear the buffer.
// Every frame starts with wrap(), before any read or write.
struct DelayLine {
  int length = 0;  // floats in the buffer; 0 = no buffer
  std::unique_ptr<float[]> buffer;
  int writeIndex = 0;
  int readIndex = 1;
  bool unfilled = true;

  // Frees the buffer and allocates `frames` zeroed floats (none when not positive), then
  // resets. False, with no buffer, when memory is exhausted.
  bool allocate(int frames);

  void reset() {
    writeIndex = 0;
    readIndex = 1;
    unfilled = true;
  }

  void wrap() {
    while (readIndex >= length) {
      readIndex -= length;
      unfilled = false;
    }
    while (writeIndex >= length) writeIndex -= length;
  }

  float read() {
    const float v = unfilled ? 0.0f : buffer[readIndex];
    ++readIndex;
    return v;
  }

  void write(float v) { buffer[writeIndex++] = v; }
};

// A line of the feedback networks: output taps, decay gain and the state of its damping
// low-pass.
struct FdnLine : DelayLine {
  float signLeft = 1.0f;
  float signRight = 1.0f;
  float gain = 0.0f;     // decay applied at each read
  float damped = 0.0f;   // last output of the damping low-pass
  float lastRaw = 0.0f;  // previous gained read, the low-pass's input state
};

// The line length for a base length in frames at 44100 Hz: the scaled length rounded, made odd,
// then raised in steps of 2 to the next prime (1 counts as prime). 0 for a rate that is not
// usable.
int delayLineLength(int baseLength, float sampleRate);
