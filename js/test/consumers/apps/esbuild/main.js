// esbuild with --loader:.wasm=file: the import is the emitted file's path.
import * as quavix from 'quavix';
import { renderInWorker } from 'quavix/audio';
import wasmUrl from 'quavix/quavix.wasm';

await quavix.init(new URL(wasmUrl, import.meta.url));
const rng = quavix.random(1);
window.result = Array.from(quavix.render(quavix.preset('coin', rng), rng).wav);
window.worker = Array.from((await renderInWorker({ preset: 'coin', seed: 1 })).wav);
