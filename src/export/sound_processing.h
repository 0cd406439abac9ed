// The steps between the exact 16-bit synthesis and the file, in 32-bit float
// with full scale 1: conversion, silence trimming, resampling and the fade.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace quavix::exporting {

// Each 16-bit sample s as s / 32768, exactly.
std::vector<float> ToFloatSamples(std::span<const std::int16_t> samples);

// The frames from the first to the last whose magnitude in some channel
// reaches the threshold (10^(dB/20) of full scale); [0, 0) when none does.
struct FrameRange {
  std::size_t First = 0;
  std::size_t End = 0;  // one past the last
};
FrameRange AudibleRange(std::span<const float> samples, int channels, double thresholdDb);

// Mono samples resampled with libsoxr at its very-high quality setting; the
// result holds round(frames x to / from) frames.
std::vector<float> Resample(std::span<const float> samples, int from, int to);

// Frames a fade of ms milliseconds covers at a rate: round(ms x rate / 1000).
std::size_t FadeFrames(int ms, int rate);

// A linear fade over the last n frames (all of them when there are fewer):
// frame k of the fade is multiplied by 1 - (k + 1) / n, so the last is 0.
void FadeOut(std::span<float> samples, std::size_t n);

// Multiplies every sample by 10^(dB/20), rounded to float once.
void ApplyGain(std::span<float> samples, double db);

}  // namespace quavix::exporting
