// What the views draw, computed beside the synthesis so that the page only paints.

/** Min and max of each of `columns` equal slices of the sound, in -1..1, as pairs. */
export function waveColumns(samples: Int16Array, columns: number): Float32Array {
  const out = new Float32Array(columns * 2);
  const n = samples.length;
  for (let c = 0; c < columns; c++) {
    const from = Math.floor((c * n) / columns);
    const to = Math.max(from + 1, Math.floor(((c + 1) * n) / columns));
    let lo = 0;
    let hi = 0;
    for (let i = from; i < to && i < n; i++) {
      const s = samples[i];
      if (s < lo) lo = s;
      if (s > hi) hi = s;
    }
    out[2 * c] = lo / 32768;
    out[2 * c + 1] = hi / 32768;
  }
  return out;
}

const FFT_SIZE = 1024;

const COS = Float64Array.from({ length: FFT_SIZE / 2 }, (_, k) => Math.cos((2 * Math.PI * k) / FFT_SIZE));
const SIN = Float64Array.from({ length: FFT_SIZE / 2 }, (_, k) => -Math.sin((2 * Math.PI * k) / FFT_SIZE));
const HANN = Float64Array.from(
  { length: FFT_SIZE },
  (_, i) => 0.5 - 0.5 * Math.cos((2 * Math.PI * i) / (FFT_SIZE - 1)),
);

function fftInPlace(re: Float64Array, im: Float64Array): void {
  const n = re.length;
  for (let i = 1, j = 0; i < n; i++) {
    let bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) {
      let t = re[i];
      re[i] = re[j];
      re[j] = t;
      t = im[i];
      im[i] = im[j];
      im[j] = t;
    }
  }
  for (let len = 2; len <= n; len <<= 1) {
    const half = len >> 1;
    const stride = n / len;
    for (let i = 0; i < n; i += len) {
      for (let k = 0; k < half; k++) {
        const wr = COS[k * stride];
        const wi = SIN[k * stride];
        const a = i + k + half;
        const xr = re[a] * wr - im[a] * wi;
        const xi = re[a] * wi + im[a] * wr;
        re[a] = re[i + k] - xr;
        im[a] = im[i + k] - xi;
        re[i + k] += xr;
        im[i + k] += xi;
      }
    }
  }
}

/**
 * A spectrogram: `frames` spectra (Hann window, 1024 samples) spread evenly over the sound,
 * each of 512 bins in decibels relative to full scale.
 */
export function spectrogram(samples: Int16Array, frames: number): { frames: number; bins: number; db: Float32Array } {
  const bins = FFT_SIZE / 2;
  const count =
    samples.length < FFT_SIZE ? (samples.length > 0 ? 1 : 0) : Math.min(frames, Math.ceil(samples.length / 256));
  const db = new Float32Array(count * bins).fill(-120);
  const re = new Float64Array(FFT_SIZE);
  const im = new Float64Array(FFT_SIZE);
  for (let f = 0; f < count; f++) {
    const start = count === 1 ? 0 : Math.floor((f * (samples.length - FFT_SIZE)) / (count - 1));
    for (let i = 0; i < FFT_SIZE; i++) {
      const s = start + i < samples.length ? samples[start + i] / 32768 : 0;
      re[i] = s * HANN[i];
      im[i] = 0;
    }
    fftInPlace(re, im);
    for (let b = 0; b < bins; b++) {
      const power = (re[b] * re[b] + im[b] * im[b]) / ((FFT_SIZE / 4) * (FFT_SIZE / 4));
      db[f * bins + b] = Math.max(-120, 10 * Math.log10(power + 1e-24));
    }
  }
  return { frames: count, bins, db };
}
