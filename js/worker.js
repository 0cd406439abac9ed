// The Worker of quavix/audio's renderInWorker: renders settings-file bytes from a seed.
import { init, random, readSfs, render } from './index.js';

self.onmessage = async ({ data }) => {
  const { id, module, sfs, seed, bufferLength } = data;
  try {
    await init(module);
    const result = render(readSfs(sfs), random(seed), { bufferLength });
    self.postMessage({ id, result }, [result.wav.buffer]); // samples stays a view into wav
  } catch (error) {
    self.postMessage({ id, error: error.message });
  }
};
