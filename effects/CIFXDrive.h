#pragma once
// Drive effects: overdrive (type 9), distortion (10) and amp distortion (11). One algorithm with
// different constants: the input is scaled by the DRIVE gain onto a 16-bit scale, shaped by one
// of the two process-wide transfer curves, low-passed at a corner that follows TONE, and scaled
// by LEVEL. No buffers: the effect works from its first process call.

#include "effects/CIFX.h"

// The constants that tell the three members apart.
struct DriveVoicing {
  float driveScale;      // input scale = DRIVE x driveScale + 32768
  float displayPercent;  // DRIVE display: x x displayPercent + 100 %
  float toneFactor;      // corner = 2^(14.286341 x TONE) x toneFactor + toneOffset Hz
  float toneOffset;
};

class CIFXDrivePr : public CIFX {
 public:
  void clear() override;
  void getParameterDisplay(int index, float value, char* text) const override;
  // DRIVE and TONE targets as given, LEVEL target squared; the filter is recomputed in every
  // process call.
  void setParameters(const float params[kParameterCount]) override;
  void process(float* left, float* right, int frames) override;

  // The low-pass corner in Hz for a TONE value (before the 0.46 x rate limit).
  float toneCutoff(float tone) const;

  const float* curve;  // one of the two drive curves, 65,536 entries
  LowPassSectionState leftFilter;
  LowPassSectionState rightFilter;

 protected:
  CIFXDrivePr(const float* transferCurve, const DriveVoicing& voicing)
      : curve(transferCurve), voicing_(voicing) {}

 private:
  const DriveVoicing voicing_;
};

class CIFXOverdrive : public CIFXDrivePr {
 public:
  explicit CIFXOverdrive(const float* transferCurve);
};

class CIFXDistortion : public CIFXDrivePr {
 public:
  explicit CIFXDistortion(const float* transferCurve);
};

class CIFXAmpDistortion : public CIFXDrivePr {
 public:
  explicit CIFXAmpDistortion(const float* transferCurve);
};
