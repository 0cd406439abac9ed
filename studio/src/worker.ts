// The synthesis worker: renders a sound and what the views need of it, off the page's thread.
import * as quavix from 'quavix';
import { spectrogram, waveColumns } from './analysis';
import type { FromWorker, RenderRequest, ToWorker } from './protocol';
import { sha256Hex } from './sha256';

const post = (message: FromWorker, transfer: Transferable[] = []) =>
  (self as unknown as Worker).postMessage(message, transfer);

async function render(request: RenderRequest): Promise<void> {
  const params = quavix.readSfs(request.sfs);
  const rng = quavix.random(0);
  rng.state = request.renderState;
  const sound = quavix.render(params, rng, { bufferLength: request.bufferLength });
  const audio = new Float32Array(sound.samples.length);
  for (let i = 0; i < audio.length; i++) audio[i] = sound.samples[i] / 32768;
  const wav = sound.wav.slice();
  const spectrum = spectrogram(sound.samples, 160);
  const wave = waveColumns(sound.samples, 1200);
  post(
    {
      type: 'rendered', id: request.id, wav, audio, sampleCount: sound.sampleCount, peak: sound.peak,
      clipped: sound.clipped, silent: sound.silent, sha256: await sha256Hex(wav), wave, spectrum,
    },
    [wav.buffer, audio.buffer, wave.buffer, spectrum.db.buffer],
  );
}

self.onmessage = async (event: MessageEvent<ToWorker>) => {
  const message = event.data;
  if (message.type === 'init') {
    await quavix.init(message.module);
    post({ type: 'ready' });
    return;
  }
  try {
    await render(message);
  } catch (e) {
    post({ type: 'failed', id: message.id, message: (e as Error).message });
  }
};
