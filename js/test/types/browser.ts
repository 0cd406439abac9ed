// The browser entry points, checked with the DOM library.
import * as quavix from 'quavix';
import { SoundCache, fromLayers, fromLink, fromPreset, renderInWorker, renderLayered, toAudioBuffer } from 'quavix/audio';
import { play, readWav } from 'quavix/play';

await quavix.init(fetch('/quavix.wasm'));
await quavix.init(await fetch('/quavix.wasm'));
await quavix.init(await WebAssembly.compile(new Uint8Array(8)));
const context = new AudioContext();
const cache = new SoundCache(context);
const coin = cache.get({ preset: 'coin', seed: 42 });
cache.get({ settings: '1,,,0.3', seed: 1, bufferLength: 2 });
cache.get({ link: '#seed=1&csv=1' });
// @ts-expect-error a misspelt family
cache.get({ preset: 'coins', seed: 42 });
// @ts-expect-error a link carries its seed
cache.get({ link: '#seed=1&csv=1', seed: 2 });
const playing = coin.play({ volume: 0.5, pan: -1, rate: 2, loop: true, destination: context.destination });
playing.stop();
await playing.ended;
// @ts-expect-error a misspelt option
coin.play({ volum: 0.5 });
const buffer: AudioBuffer = toAudioBuffer(context, quavix.render(quavix.defaults(), quavix.random(1)));
fromPreset(context, 'jump', 3).play();
fromLink(context, 'https://example.com/studio/#seed=1&csv=1');
const long = await renderInWorker({ preset: 'explosion', seed: 5, bufferLength: 30 });
await play(long);
readWav(long.wav).sampleRate;
await quavix.initLayers();
const mix = renderLayered([{ preset: 'laser', seed: 42 }, { settings: '1,,0.2', seed: 7, offset: 2205, gainDb: -9.5, muted: false }]);
fromLayers(context, [{ link: '#seed=1&csv=1', gainDb: 3 }]).play();
// @ts-expect-error a layer is a recipe: a preset has its seed
renderLayered([{ preset: 'laser', offset: 10 }]);
mix.clipped;

export { buffer };
