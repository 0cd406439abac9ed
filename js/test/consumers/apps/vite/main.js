// Vite: the module's URL from a ?url import.
import * as quavix from 'quavix';
import { renderInWorker } from 'quavix/audio';
import wasmUrl from 'quavix/quavix.wasm?url';

await quavix.init(wasmUrl);
const rng = quavix.random(1);
window.result = Array.from(quavix.render(quavix.preset('coin', rng), rng).wav);
window.worker = Array.from((await renderInWorker({ preset: 'coin', seed: 1 })).wav);
