// The synthesis worker: renders a sound and what the views need of it, off the page's thread.
import * as quavix from 'quavix';
import type { FromWorker, ToWorker } from './protocol';
import { make, viewsOf } from './synth';

const post = (message: FromWorker, transfer: Transferable[] = []) =>
  (self as unknown as Worker).postMessage(message, transfer);

let last: { id: number; samples: Int16Array } | null = null;

self.onmessage = async (event: MessageEvent<ToWorker>) => {
  const message = event.data;
  if (message.type === 'init') {
    try {
      await quavix.init(message.module);
      post({ type: 'ready' });
    } catch (e) {
      post({ type: 'broken', message: (e as Error).message });
    }
    return;
  }
  if (message.type === 'views') {
    if (last?.id !== message.id) return;
    const views = viewsOf(message.id, last.samples);
    post(views, [views.wave.buffer, views.spectrum.db.buffer]);
    return;
  }
  try {
    const { rendered, samples } = await make(message);
    post(rendered, [rendered.wav.buffer, rendered.audio.buffer]);
    last = { id: message.id, samples };
  } catch (e) {
    post({ type: 'failed', id: message.id, message: (e as Error).message });
  }
};
