// webpack 5 emits quavix.wasm by itself: init() needs nothing.
import * as quavix from 'quavix';

await quavix.init();
const rng = quavix.random(1);
window.result = Array.from(quavix.render(quavix.preset('coin', rng), rng).wav);
