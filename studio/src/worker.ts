// The synthesis worker: renders a sound and what the views need of it, off the page's thread.
import * as quavix from 'quavix';
import { spectrogram, waveColumns } from './analysis';
import type { FromWorker, RenderRequest, ToWorker } from './protocol';
import { sha256Hex } from './sha256';

const post = (message: FromWorker, transfer: Transferable[] = []) =>
  (self as unknown as Worker).postMessage(message, transfer);

let last: { id: number; samples: Int16Array } | null = null;

async function render(request: RenderRequest): Promise<void> {
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
  post(
    {
      type: 'rendered', id: request.id, wav, audio, sampleCount: sound.sampleCount, peak: sound.peak,
      clipped: sound.clipped, silent: sound.silent, sha256, timings: { synthesis: t1 - t0, hash: t2 - t1 },
    },
    [wav.buffer, audio.buffer],
  );
  last = { id: request.id, samples };
}

function views(id: number): void {
  if (last?.id !== id) return;
  const spectrum = spectrogram(last.samples, 128);
  const wave = waveColumns(last.samples, 1200);
  post({ type: 'views', id, wave, spectrum }, [wave.buffer, spectrum.db.buffer]);
}

self.onmessage = async (event: MessageEvent<ToWorker>) => {
  const message = event.data;
  if (message.type === 'init') {
    await quavix.init(message.module);
    post({ type: 'ready' });
    return;
  }
  if (message.type === 'views') return views(message.id);
  try {
    await render(message);
  } catch (e) {
    post({ type: 'failed', id: message.id, message: (e as Error).message });
  }
};
