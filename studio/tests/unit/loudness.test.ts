import { describe, expect, test } from 'vitest';
import { measureLoudness } from '../../src/export/loudness';
import { resample, resampledFrames } from '../../src/export/resample';

// A sine of amplitude A has the mean square A^2 / 2; at 997 Hz the K-weighting adds the 0.691 dB that the
// formula's -0.691 takes away, so it reads 20 log10(A) - 3.01 LUFS (mono, one channel of weight 1).
const sineLufs = (amplitude: number) => 20 * Math.log10(amplitude) - 10 * Math.log10(2);

function sine(amplitude: number, hz: number, rate: number, seconds: number, phase = 0): Float32Array {
  const out = new Float32Array(Math.round(rate * seconds));
  for (let i = 0; i < out.length; i++) out[i] = amplitude * Math.sin((2 * Math.PI * hz * i) / rate + phase);
  return out;
}

const join = (...parts: Float32Array[]) => {
  const out = new Float32Array(parts.reduce((n, p) => n + p.length, 0));
  let at = 0;
  for (const p of parts) {
    out.set(p, at);
    at += p.length;
  }
  return out;
};

describe('integrated loudness', () => {
  test.each([
    { name: 'full scale at 48 kHz', samples: sine(1, 997, 48000, 3), rate: 48000, lufs: sineLufs(1) },
    { name: '-20 dB at 44.1 kHz', samples: sine(0.1, 997, 44100, 3), rate: 44100, lufs: sineLufs(0.1) },
    // below 32 kHz the sound is resampled to 48 kHz before it is weighted
    { name: '-20 dB at 16 kHz', samples: sine(0.1, 997, 16000, 3), rate: 16000, lufs: sineLufs(0.1) },
    // 100 ms padded with silence to one 400 ms block: a quarter of the energy, -6.02 dB
    {
      name: 'short: padded to one block',
      samples: sine(0.5, 997, 44100, 0.1),
      rate: 44100,
      lufs: sineLufs(0.5) + 10 * Math.log10(4410 / 17640),
    },
    // 2 s loud, 2 s 40 dB quieter: 17 whole loud blocks and three that hold 3, 2 and 1 loud tenths pass the
    // relative gate (10 LU below their mean); the quiet blocks do not.
    {
      name: 'relative gate',
      samples: join(sine(0.1, 997, 48000, 2), sine(0.001, 997, 48000, 2)),
      rate: 48000,
      lufs: sineLufs(0.1) + 10 * Math.log10((17 + 0.75 + 0.5 + 0.25) / 20),
    },
    // just above the absolute gate (-70 LUFS): measured; just below it: silence
    { name: 'above the absolute gate', samples: sine(0.0005, 997, 48000, 2), rate: 48000, lufs: sineLufs(0.0005) },
    { name: 'below the absolute gate', samples: sine(0.0004, 997, 48000, 2), rate: 48000, lufs: -Infinity },
  ])('$name', ({ samples, rate, lufs }) => {
    const measured = measureLoudness(samples, rate).integratedLufs;
    if (lufs === -Infinity) expect(measured).toBe(-Infinity);
    else expect(Math.abs(measured - lufs)).toBeLessThan(0.05);
  });
});

/** A sine that rises and falls over its first and last 1000 samples, so that it has no onset to overshoot. */
function smooth(samples: Float32Array): Float32Array {
  for (let i = 0; i < 1000; i++) {
    const g = 0.5 - 0.5 * Math.cos((Math.PI * i) / 1000);
    samples[i] *= g;
    samples[samples.length - 1 - i] *= g;
  }
  return samples;
}

test('true peak finds the peak between samples; the sample peak does not', () => {
  // A quarter of the rate, shifted by 45 degrees: every sample is +-A / sqrt(2), the wave reaches A between them.
  // On the samples (90 degrees) both read 20 log10(0.5) = -6.02; between them the sample peak reads 3.01 dB less.
  for (const [phase, samplePeak] of [
    [Math.PI / 4, -9.03],
    [Math.PI / 2, -6.02],
  ]) {
    const m = measureLoudness(smooth(sine(0.5, 12000, 48000, 1, phase)), 48000);
    expect(Math.abs(m.truePeakDbtp + 6.02), `phase ${phase}`).toBeLessThan(0.1);
    expect(Math.abs(m.samplePeakDbfs - samplePeak), `phase ${phase}`).toBeLessThan(0.01);
  }
});

describe('resampling', () => {
  test.each([
    { frames: 44100, from: 44100, to: 48000, out: 48000 },
    { frames: 3, from: 44100, to: 22050, out: 2 }, // 1.5 rounds up
    { frames: 5, from: 44100, to: 22050, out: 3 }, // 2.5 rounds away from zero
    { frames: 1, from: 44100, to: 8000, out: 0 }, // 0.18
    { frames: 6, from: 44100, to: 8000, out: 1 }, // 1.09
  ])('$frames frames from $from to $to Hz: $out', ({ frames, from, to, out }) => {
    expect(resampledFrames(frames, from, to)).toBe(out);
    expect(resample(new Float32Array(frames).fill(0.25), from, to).length).toBe(out);
  });

  test('a sine keeps its shape within -80 dB, away from the ends; what the lower rate cannot hold is removed', () => {
    // 15 kHz is above the 11.025 kHz Nyquist frequency of 22.05 kHz: nothing of it may come through.
    for (const [from, to, hz, kept] of [
      [44100, 48000, 1000, true],
      [44100, 22050, 5000, true],
      [44100, 96000, 15000, true],
      [44100, 22050, 15000, false],
    ] as const) {
      const out = resample(sine(0.5, hz, from, 0.5), from, to);
      const want = kept ? sine(0.5, hz, to, 0.5) : new Float32Array(out.length);
      let worst = 0;
      for (let i = to / 10; i < out.length - to / 10; i++) worst = Math.max(worst, Math.abs(out[i] - want[i]));
      expect(worst, `${from} -> ${to}, ${hz} Hz`).toBeLessThan(0.5e-4);
    }
  });
});
