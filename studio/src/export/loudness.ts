// Loudness as EBU R128 measures it: ITU-R BS.1770 integrated loudness
// (K-weighting, 400 ms blocks every 100 ms, an absolute gate at -70 LUFS and a
// relative gate 10 LU below the loudness of the blocks that pass it) and the
// true peak by 4x oversampling. A mono sound is one channel of weight 1.
//
// The rules the quavix tool follows, so that both give the same figures: a
// sound shorter than one block is measured followed by silence up to one
// block; a sound at a rate below 32 kHz is resampled to 48 kHz first (the
// K-weighting's shelf lies near 1.7 kHz).
import { resample } from './resample';

export interface Loudness {
  /** -Infinity for silence (no block above the absolute gate). */
  integratedLufs: number;
  /** -Infinity for silence. */
  truePeakDbtp: number;
  samplePeakDbfs: number;
  /** Shorter than one block: measured padded with silence. */
  padded: boolean;
}

const ABSOLUTE_GATE_LUFS = -70;
const RELATIVE_GATE_LU = -10;
const LOWEST_METERED_RATE = 32000;
const METER_RATE_BELOW = 48000;

/** Frames of 100 ms at a rate, rounded to the nearest frame; a block is four of them. */
export const hopFrames = (rate: number): number => Math.floor((rate + 5) / 10);
export const blockFrames = (rate: number): number => 4 * hopFrames(rate);

export const decibels = (linear: number): number => (linear > 0 ? 20 * Math.log10(linear) : -Infinity);

interface Biquad {
  b0: number;
  b1: number;
  b2: number;
  a1: number;
  a2: number;
}

/**
 * The two K-weighting stages at a rate: the high shelf (+4 dB above about 1.7 kHz)
 * and the high-pass near 38 Hz, the analogue prototypes of BS.1770 mapped by the
 * bilinear transform.
 */
export function kWeighting(rate: number): [Biquad, Biquad] {
  let f0 = 1681.974450955533;
  const gainDb = 3.999843853973347;
  let q = 0.7071752369554196;
  let k = Math.tan((Math.PI * f0) / rate);
  const vh = Math.pow(10, gainDb / 20);
  const vb = Math.pow(vh, 0.4996667741545416);
  let a0 = 1 + k / q + k * k;
  const shelf = {
    b0: (vh + (vb * k) / q + k * k) / a0,
    b1: (2 * (k * k - vh)) / a0,
    b2: (vh - (vb * k) / q + k * k) / a0,
    a1: (2 * (k * k - 1)) / a0,
    a2: (1 - k / q + k * k) / a0,
  };
  f0 = 38.13547087602444;
  q = 0.5003270373238773;
  k = Math.tan((Math.PI * f0) / rate);
  a0 = 1 + k / q + k * k;
  const highPass = { b0: 1, b1: -2, b2: 1, a1: (2 * (k * k - 1)) / a0, a2: (1 - k / q + k * k) / a0 };
  return [shelf, highPass];
}

function filter(input: Float64Array, f: Biquad): Float64Array {
  const out = new Float64Array(input.length);
  let x1 = 0;
  let x2 = 0;
  let y1 = 0;
  let y2 = 0;
  for (let i = 0; i < input.length; i++) {
    const x = input[i];
    const y = f.b0 * x + f.b1 * x1 + f.b2 * x2 - f.a1 * y1 - f.a2 * y2;
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    out[i] = y;
  }
  return out;
}

const lufsOf = (meanSquare: number): number => -0.691 + 10 * Math.log10(meanSquare);

/** Integrated loudness of mono samples at a rate (already padded to one block when short). */
function integrated(samples: Float32Array, rate: number): number {
  const [shelf, highPass] = kWeighting(rate);
  const weighted = filter(filter(Float64Array.from(samples), shelf), highPass);
  const hop = hopFrames(rate);
  const block = blockFrames(rate);
  const energies: number[] = [];
  for (let start = 0; start + block <= weighted.length; start += hop) {
    let sum = 0;
    for (let i = start; i < start + block; i++) sum += weighted[i] * weighted[i];
    energies.push(sum / block);
  }
  const gated = (threshold: number) => energies.filter((e) => e > 0 && lufsOf(e) >= threshold);
  const loud = gated(ABSOLUTE_GATE_LUFS);
  if (loud.length === 0) return -Infinity;
  const mean = (list: number[]) => list.reduce((a, b) => a + b, 0) / list.length;
  const relative = lufsOf(mean(loud)) + RELATIVE_GATE_LU;
  const kept = loud.filter((e) => lufsOf(e) >= relative);
  return lufsOf(mean(kept));
}

const TRUE_PEAK_PHASES = 4;
const TRUE_PEAK_TAPS = 12; // per phase

/**
 * The interpolating filter of the true-peak meter: a Hann-windowed sinc, one row per phase. Row p gives the
 * signal p / 4 of a sample after the middle tap, so row 0 gives back the samples themselves.
 */
function truePeakFilter(): Float64Array[] {
  const half = (TRUE_PEAK_PHASES * TRUE_PEAK_TAPS) / 2;
  const rows: Float64Array[] = [];
  for (let p = 0; p < TRUE_PEAK_PHASES; p++) {
    const row = new Float64Array(TRUE_PEAK_TAPS);
    for (let t = 0; t < TRUE_PEAK_TAPS; t++) {
      const m = t * TRUE_PEAK_PHASES + p - half;
      const x = (Math.PI * m) / TRUE_PEAK_PHASES;
      const sinc = m === 0 ? 1 : Math.sin(x) / x;
      row[t] = sinc * (0.5 + 0.5 * Math.cos((Math.PI * m) / half));
    }
    rows.push(row);
  }
  return rows;
}

/** The largest magnitude of the samples and of the signal between them, 4x oversampled. */
export function truePeak(samples: Float32Array): number {
  let peak = 0;
  for (const s of samples) peak = Math.max(peak, Math.abs(s));
  const rows = truePeakFilter();
  const n = samples.length;
  for (let i = 0; i < n + TRUE_PEAK_TAPS; i++) {
    for (const row of rows) {
      let y = 0;
      for (let t = 0; t < TRUE_PEAK_TAPS; t++) {
        const at = i - t;
        if (at >= 0 && at < n) y += row[t] * samples[at];
      }
      peak = Math.max(peak, Math.abs(y));
    }
  }
  return peak;
}

/** The loudness, true peak and sample peak of mono samples (full scale 1) at a rate in Hz. */
export function measureLoudness(samples: Float32Array, rate: number): Loudness {
  let samplePeak = 0;
  for (const s of samples) samplePeak = Math.max(samplePeak, Math.abs(s));
  const padded = samples.length < blockFrames(rate);
  let metered = samples;
  let meterRate = rate;
  if (rate < LOWEST_METERED_RATE) {
    metered = resample(samples, rate, METER_RATE_BELOW);
    meterRate = METER_RATE_BELOW;
  }
  if (padded) {
    const whole = new Float32Array(Math.max(blockFrames(meterRate), metered.length));
    whole.set(metered);
    metered = whole;
  }
  return {
    integratedLufs: integrated(metered, meterRate),
    truePeakDbtp: decibels(truePeak(metered)),
    samplePeakDbfs: decibels(samplePeak),
    padded,
  };
}
