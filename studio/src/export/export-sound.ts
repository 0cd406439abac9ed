// One synthesized sound made into a file, in the quavix tool's order: the
// exact 16-bit samples as floats, silence trimmed, resampled, faded out,
// brought to the target (a loudness target never lifts the true peak above the
// ceiling), then encoded. The encoded file is measured again; where the
// ceiling is passed after encoding (or a lossy file misses its loudness), the
// gain is corrected and the file encoded again, as the tool does.
import * as quavix from 'quavix';
import { measureLoudness, type Loudness } from './loudness';
import { resample } from './resample';
import { bitCount, quantize, type FileFormat, type SampleBits } from './sample-format';
import { wavFile } from './wav-file';
import { flacFile } from './flac-file';
import { decodeOgg, oggFile } from './vorbis';

export const DEFAULT_TRIM_DB = -60;
export const DEFAULT_CEILING_DBTP = -1;
/** The ranges the quavix tool takes for each number, in its words. */
export const EXPORT_LIMITS = {
  trim: { min: -120, max: 0, open: true, what: 'The trim threshold', unit: 'dBFS' },
  fade: { min: 0, max: 60000, open: false, what: 'The fade-out', unit: 'ms' },
  peak: { min: -100, max: 0, open: false, what: 'The peak target', unit: 'dBFS' },
  lufs: { min: -70, max: 0, open: false, what: 'The loudness target', unit: 'LUFS' },
  ceiling: { min: -30, max: 0, open: false, what: 'The true-peak ceiling', unit: 'dBTP' },
};
/** The sample rates to choose from, the tool's lowest and highest among them. */
export const exportRates = (): number[] => [
  8000,
  11025,
  16000,
  22050,
  32000,
  quavix.SAMPLE_RATE,
  48000,
  88200,
  96000,
  192000,
];

export type Normalization =
  | { kind: 'none' }
  | { kind: 'peak'; dbfs: number }
  | { kind: 'loudness'; lufs: number }
  /** Every sound of the set to one loudness: a loudness target for each. */
  | { kind: 'match'; lufs: number };

export interface ExportOptions {
  format: FileFormat;
  bits: SampleBits;
  rate: number;
  /** Threshold of silence trimming in dBFS, or null for none. */
  trimDb: number | null;
  /** 0: no fade. */
  fadeOutMs: number;
  normalize: Normalization;
  ceilingDbtp: number;
}

export const PLAIN_EXPORT: ExportOptions = {
  format: 'wav',
  bits: '16',
  get rate() {
    return quavix.SAMPLE_RATE; // the synthesis rate, from the module once it is loaded
  },
  trimDb: null,
  fadeOutMs: 0,
  normalize: { kind: 'none' },
  ceilingDbtp: DEFAULT_CEILING_DBTP,
};

/** True when the options ask for nothing but the module's own WAV file. */
export function isPlain(o: ExportOptions): boolean {
  return (
    o.format === 'wav' &&
    o.bits === '16' &&
    o.rate === quavix.SAMPLE_RATE &&
    o.trimDb === null &&
    o.fadeOutMs === 0 &&
    o.normalize.kind === 'none'
  );
}

export interface ExportedSound {
  bytes: Uint8Array;
  frames: number;
  gainDb: number;
  wantedGainDb: number;
  /** The ceiling kept the sound below its loudness target. */
  limited: boolean;
  /** Silent before the gain: not normalised. */
  unmeasurable: boolean;
  before: Loudness;
  after: Loudness;
  clipped: number;
  /** Trimming left no samples. */
  emptied: boolean;
}

const CEILING_MARGIN = 0.005;
const ENCODINGS = 4;
const LOUDNESS_TOLERANCE = 0.02;

/** The frames from the first to the last whose magnitude reaches 10^(dB/20) of full scale ([0, 0) when none does). */
export function audibleRange(samples: Float32Array, thresholdDb: number): [number, number] {
  const threshold = Math.pow(10, thresholdDb / 20);
  let first = 0;
  while (first < samples.length && !(Math.abs(samples[first]) >= threshold)) first++;
  if (first === samples.length) return [0, 0];
  let end = samples.length;
  while (!(Math.abs(samples[end - 1]) >= threshold)) end--;
  return [first, end];
}

/** A linear fade over the last n frames: frame k of the fade is multiplied by 1 - (k + 1) / n. */
export function fadeOut(samples: Float32Array, n: number): void {
  n = Math.min(n, samples.length);
  const start = samples.length - n;
  for (let k = 0; k < n; k++) samples[start + k] = Math.fround(samples[start + k] * (1 - (k + 1) / n));
}

async function encode(
  samples: Float32Array,
  o: ExportOptions,
): Promise<{ bytes: Uint8Array; stored: Float32Array; clipped: number }> {
  if (o.format === 'ogg') {
    const bytes = await oggFile(samples, o.rate);
    // measured as decoded where the browser decodes it whole, otherwise as given to the encoder
    return { bytes, stored: (await decodeOgg(bytes, o.rate, samples.length)) ?? samples, clipped: 0 };
  }
  if (o.bits === '32f') return { bytes: wavFile(samples, o.rate, '32f'), stored: samples, clipped: 0 };
  const q = quantize(samples, bitCount(o.bits));
  const bytes =
    o.format === 'flac'
      ? flacFile(q.values, o.rate, bitCount(o.bits) as 8 | 16 | 24)
      : wavFile(q.values, o.rate, o.bits);
  return { bytes, stored: q.stored, clipped: q.clipped };
}

/** Exports a sound's 16-bit samples, or the floats of a layered sound's mix (unclamped), as the tool does. */
export async function exportSound(samples: Int16Array | Float32Array, o: ExportOptions): Promise<ExportedSound> {
  let sound: Float32Array =
    samples instanceof Float32Array ? samples.slice() : Float32Array.from(samples, (s) => s / 32768);
  const before = measureLoudness(sound, quavix.SAMPLE_RATE);
  let emptied = false;
  if (o.trimDb !== null) {
    const [first, end] = audibleRange(sound, o.trimDb);
    sound = sound.slice(first, end);
    emptied = first === end;
  }
  sound = resample(sound, quavix.SAMPLE_RATE, o.rate);
  if (o.fadeOutMs > 0) fadeOut(sound, Math.round((o.fadeOutMs * o.rate) / 1000));

  let gainDb = 0;
  let wantedGainDb = 0;
  let limited = false;
  let unmeasurable = false;
  const n = o.normalize;
  const loudness = n.kind === 'loudness' || n.kind === 'match';
  if (n.kind !== 'none') {
    const level = measureLoudness(sound, o.rate);
    if (n.kind === 'peak') {
      unmeasurable = !Number.isFinite(level.samplePeakDbfs);
      if (!unmeasurable) wantedGainDb = n.dbfs - level.samplePeakDbfs;
    } else {
      unmeasurable = !Number.isFinite(level.integratedLufs);
      if (!unmeasurable) {
        wantedGainDb = n.lufs - level.integratedLufs;
        const allowed = o.ceilingDbtp - level.truePeakDbtp;
        limited = wantedGainDb > allowed;
        gainDb = Math.min(wantedGainDb, allowed);
      }
    }
    if (n.kind === 'peak') gainDb = wantedGainDb;
  }

  let result!: ExportedSound;
  for (let attempt = 0; attempt < ENCODINGS; attempt++) {
    const scaled = sound.slice();
    if (gainDb !== 0) {
      const factor = Math.fround(Math.pow(10, gainDb / 20));
      for (let i = 0; i < scaled.length; i++) scaled[i] = Math.fround(scaled[i] * factor);
    }
    const encoded = await encode(scaled, o);
    const after = measureLoudness(encoded.stored, o.rate);
    result = {
      bytes: encoded.bytes,
      frames: scaled.length,
      gainDb,
      wantedGainDb,
      limited,
      unmeasurable,
      before,
      after,
      clipped: encoded.clipped,
      emptied,
    };
    if (!loudness || unmeasurable || !Number.isFinite(after.integratedLufs)) break;
    const target = n.lufs;
    const excess = after.truePeakDbtp - o.ceilingDbtp;
    const miss = target - after.integratedLufs;
    if (excess > 0) {
      gainDb -= excess + CEILING_MARGIN;
      limited = true;
    } else if (o.format === 'ogg' && !limited && Math.abs(miss) > LOUDNESS_TOLERANCE) {
      limited = miss > -excess;
      gainDb += Math.min(miss, -excess - CEILING_MARGIN);
    } else break;
  }
  return result;
}

/** The loudness a limited sound reaches at most: its loudness with its true peak at the ceiling. */
export const reachableLoudness = (s: ExportedSound, ceilingDbtp: number): number =>
  s.after.integratedLufs + (ceilingDbtp - s.after.truePeakDbtp);
