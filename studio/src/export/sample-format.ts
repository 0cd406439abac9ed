// The file formats an export writes and how samples are stored in them.
// Integers are rounded without dither: v = x x 2^(bits-1) rounded half away
// from zero, clamped to [-2^(bits-1), 2^(bits-1) - 1]; a 16-bit sound s / 32768
// therefore comes back as s exactly. 32-bit float samples are stored as they are.

export type FileFormat = 'wav' | 'flac' | 'ogg';
export type SampleBits = '8' | '16' | '24' | '32f';

export const FORMAT_LABELS: Record<FileFormat, string> = { wav: 'WAV', flac: 'FLAC', ogg: 'Ogg Vorbis' };

/** The sample formats each file format holds (Ogg Vorbis has none to choose). */
export const FORMAT_BITS: Record<FileFormat, SampleBits[]> = {
  wav: ['8', '16', '24', '32f'],
  flac: ['8', '16', '24'],
  ogg: [],
};

export const bitCount = (bits: SampleBits): number => (bits === '32f' ? 32 : Number(bits));

export interface Quantized {
  values: Int32Array;
  /** The values as the file gives them back, full scale 1. */
  stored: Float32Array;
  /** Samples that the clamp changed. */
  clipped: number;
}

export function quantize(samples: Float32Array, bits: number): Quantized {
  const scale = 2 ** (bits - 1);
  const values = new Int32Array(samples.length);
  const stored = new Float32Array(samples.length);
  let clipped = 0;
  for (let i = 0; i < samples.length; i++) {
    const x = samples[i] * scale;
    let v = Math.sign(x) * Math.round(Math.abs(x));
    if (!(v >= -scale && v <= scale - 1)) clipped++;
    if (!(v >= -scale)) v = -scale;
    if (v > scale - 1) v = scale - 1;
    values[i] = v;
    stored[i] = v / scale;
  }
  return { values, stored, clipped };
}
