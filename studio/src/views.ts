// The waveform with its playhead, and the spectrogram, painted from what the worker measured.
import * as quavix from 'quavix';

function colour(canvas: HTMLCanvasElement, name: string): string {
  return getComputedStyle(canvas).getPropertyValue(name).trim() || '#888';
}

function fit(canvas: HTMLCanvasElement): CanvasRenderingContext2D {
  const ratio = window.devicePixelRatio || 1;
  const width = Math.max(1, Math.round(canvas.clientWidth * ratio));
  const height = Math.max(1, Math.round(canvas.clientHeight * ratio));
  if (canvas.width !== width || canvas.height !== height) {
    canvas.width = width;
    canvas.height = height;
  }
  return canvas.getContext('2d')!;
}

/** `columns` holds min/max pairs; `playhead` is 0..1 or null; `clipLines` marks the clamp's level. */
export function drawWave(
  canvas: HTMLCanvasElement,
  columns: Float32Array,
  playhead: number | null,
  clipLines = true,
): void {
  const g = fit(canvas);
  const { width, height } = canvas;
  g.fillStyle = colour(canvas, '--view-bg');
  g.fillRect(0, 0, width, height);
  const mid = height / 2;
  g.fillStyle = colour(canvas, '--view-grid');
  g.fillRect(0, Math.floor(mid), width, 1);
  if (clipLines) {
    const clip = (quavix.CLIP_LEVEL / 32768) * (height / 2 - 2);
    g.fillRect(0, Math.round(mid - clip), width, 1);
    g.fillRect(0, Math.round(mid + clip), width, 1);
  }
  const count = columns.length / 2;
  g.fillStyle = colour(canvas, '--view-wave');
  for (let x = 0; x < width; x++) {
    const c = Math.min(count - 1, Math.floor((x * count) / width));
    if (c < 0) break;
    const top = mid - columns[2 * c + 1] * (height / 2 - 2);
    const bottom = mid - columns[2 * c] * (height / 2 - 2);
    g.fillRect(x, top, 1, Math.max(1, bottom - top));
  }
  if (playhead !== null) {
    g.fillStyle = colour(canvas, '--view-playhead');
    g.fillRect(Math.round(playhead * (width - 2)), 0, 2, height);
  }
}

export function drawSpectrum(canvas: HTMLCanvasElement, s: { frames: number; bins: number; db: Float32Array }): void {
  const g = fit(canvas);
  const { width, height } = canvas;
  g.fillStyle = colour(canvas, '--view-bg');
  g.fillRect(0, 0, width, height);
  if (s.frames === 0) return;
  const image = g.createImageData(width, height);
  const [r, gr, b] = colour(canvas, '--view-heat').match(/\d+/g)?.map(Number) ?? [60, 120, 200];
  const [br, bg, bb] = colour(canvas, '--view-bg-rgb').match(/\d+/g)?.map(Number) ?? [255, 255, 255];
  // Frequency upwards on a log scale from 40 Hz to 22 kHz; level from -90 dB to -10 dB.
  const nyquist = 22050;
  const low = Math.log(40);
  const binOf = new Int32Array(height);
  for (let y = 0; y < height; y++) {
    const hz = Math.exp(low + ((height - 1 - y) / (height - 1)) * (Math.log(nyquist) - low));
    binOf[y] = Math.min(s.bins - 1, Math.round((hz / nyquist) * s.bins));
  }
  for (let x = 0; x < width; x++) {
    const f = Math.min(s.frames - 1, Math.floor((x * s.frames) / width));
    for (let y = 0; y < height; y++) {
      const level = Math.min(1, Math.max(0, (s.db[f * s.bins + binOf[y]] + 90) / 80)) ** 1.5;
      const at = 4 * (y * width + x);
      image.data[at] = br + (r - br) * level;
      image.data[at + 1] = bg + (gr - bg) * level;
      image.data[at + 2] = bb + (b - bb) * level;
      image.data[at + 3] = 255;
    }
  }
  g.putImageData(image, 0, 0);
}
