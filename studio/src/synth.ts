// One sound made from a render request, and what the views draw of it: the
// work of the synthesis worker, also done on the page when no worker starts.
import * as quavix from 'quavix';
import { spectrogram, waveColumns } from './analysis';
import type { Rendered, RenderRequest, Views } from './protocol';
import { sha256Hex } from './sha256';

const LONGEST_BUFFER = 60;

export interface Made {
  rendered: Rendered;
  /** The 16-bit samples, kept for the views. */
  samples: Int16Array;
}

export async function make(request: RenderRequest): Promise<Made> {
  const t0 = performance.now();
  const params = quavix.readSfs(request.sfs);
  const rng = quavix.random(0);
  rng.state = request.renderState;
  const sound = quavix.render(params, rng, { bufferLength: request.bufferLength });
  const audio = new Float32Array(sound.samples.length);
  for (let i = 0; i < audio.length; i++) audio[i] = sound.samples[i] / 32768;
  const wav = sound.wav.slice();
  const samples = sound.samples.slice();
  const t1 = performance.now();
  const sha256 = await sha256Hex(wav);
  const t2 = performance.now();
  // A sound that fills its buffer may have been cut: its whole length, from the longest buffer.
  let whole: number | null = sound.sampleCount;
  const full = sound.sampleCount >= quavix.bufferSamples(request.bufferLength);
  if (full && request.bufferLength >= LONGEST_BUFFER) {
    whole = null;
  } else if (full) {
    const again = quavix.random(0);
    again.state = request.renderState;
    const longest = quavix.render(params, again, { bufferLength: LONGEST_BUFFER }).sampleCount;
    whole = longest >= quavix.bufferSamples(LONGEST_BUFFER) ? null : longest;
  }
  return {
    rendered: {
      type: 'rendered',
      id: request.id,
      wav,
      audio,
      sampleCount: sound.sampleCount,
      peak: sound.peak,
      clipped: sound.clipped,
      silent: sound.silent,
      sha256,
      whole,
      timings: { synthesis: t1 - t0, hash: t2 - t1 },
    },
    samples,
  };
}

export function viewsOf(id: number, samples: Int16Array): Views {
  return { type: 'views', id, wave: waveColumns(samples, 1200), spectrum: spectrogram(samples, 128) };
}
