// webpack 5 emits quavix.wasm by itself: init() needs nothing.
import * as quavix from 'quavix';
import { renderInWorker } from 'quavix/audio';

await quavix.init();
const rng = quavix.random(1);
window.result = Array.from(quavix.render(quavix.preset('coin', rng), rng).wav);
window.worker = Array.from((await renderInWorker({ preset: 'coin', seed: 1 })).wav);
