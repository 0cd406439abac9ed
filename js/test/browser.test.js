// quavix/audio and the script-tag build in Chromium: what a Sound plays (through
// an OfflineAudioContext, against the samples and the Web Audio formulas), the
// cache, the recipes against the native tool, renderInWorker, and
// quavix.global.js opened from disk.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { copyFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import test from 'node:test';
import { open, session } from '../testing/browser.js';
import * as quavix from '../node.js';
import { layersOf, nativeLayers, nativeRender, scratchDir } from '../testing/native.js';

const js = new URL('..', import.meta.url).pathname;
execFileSync(process.execPath, ['tools/build-global.mjs'], { cwd: js });

const { browser, server } = await session(js);
const { page, errors } = await open(browser, `${server.url}blank.html`);
await page.evaluate(async () => {
  window.quavix = await import('/index.js');
  window.audio = await import('/audio.js');
  await window.quavix.init();
  await window.quavix.initLayers();
});
await quavix.init();
await quavix.initLayers();

const CSV = '0.5000,2,0.0100,0.2000,0.3000,0.3000,0.4000,,0.2000,,,,,,,,,,,1.0000,,,,';

test('recipes render as the native tool renders them: preset and seed, settings string, share link', async () => {
  const fragment = `#seed=5&csv=${encodeURIComponent(CSV)}`;
  const cases = [
    { name: 'preset coin 42', recipe: { preset: 'coin', seed: 42 }, tool: ['--preset', 'coin', '--seed', '42'] },
    { name: 'preset 3 by number', recipe: { preset: 3, seed: 9, bufferLength: 2 },
      tool: ['--preset', 'powerup', '--seed', '9', '--buffer-length', '2'] },
    { name: 'settings', recipe: { settings: CSV, seed: 7 }, tool: ['--csv', CSV, '--seed', '7'] },
    { name: 'link fragment', recipe: { link: fragment }, tool: ['--csv', CSV, '--seed', '5'] },
    { name: 'whole link with length', recipe: { link: `https://studio.example/${fragment}&length=1` },
      tool: ['--csv', CSV, '--seed', '5', '--buffer-length', '1'] },
  ];
  for (const c of cases) {
    const got = await page.evaluate(async (recipe) => {
      const context = new OfflineAudioContext(1, 1, 44100);
      const wav = [...audio.renderRecipe(recipe).wav];
      const oneLine = recipe.link !== undefined ? audio.fromLink(context, recipe.link)
        : recipe.settings !== undefined ? audio.fromSettings(context, recipe.settings, recipe.seed, { bufferLength: recipe.bufferLength })
          : audio.fromPreset(context, recipe.preset, recipe.seed, { bufferLength: recipe.bufferLength });
      const inWorker = await audio.renderInWorker(recipe);
      return { wav, oneLine: [...oneLine.result.wav], worker: [...inWorker.wav], workerPeak: inWorker.peak,
        samplesView: inWorker.samples.buffer === inWorker.wav.buffer };
    }, c.recipe);
    const want = nativeRender(c.tool).wav;
    assert.ok(Buffer.from(got.wav).equals(want), `${c.name}: renderRecipe`);
    assert.ok(Buffer.from(got.oneLine).equals(want), `${c.name}: the one-line constructor`);
    assert.ok(Buffer.from(got.worker).equals(want), `${c.name}: renderInWorker`);
    assert.ok(got.samplesView, `${c.name}: the worker's samples view its wav`);
  }
  assert.deepEqual(errors, []);
});

test('a Sound keeps one AudioBuffer of the samples / 32768 and plays it with volume, pan, rate and loop', async () => {
  const got = await page.evaluate(async () => {
    const result = quavix.render(quavix.preset('laser', quavix.random(4)), quavix.random(4));
    const n = result.sampleCount;
    // plays one sound at time 0 into a stereo offline context 2n samples long
    const run = async (options, destinationOf) => {
      const context = new OfflineAudioContext(2, 2 * n, 44100);
      const sound = audio.Sound.fromRender(context, result);
      const playing = sound.play({ ...options, destination: destinationOf ? destinationOf(context) : context.destination });
      const sameBuffer = playing.source.buffer === sound.buffer;
      const out = await context.startRendering();
      return { left: out.getChannelData(0), right: out.getChannelData(1), sameBuffer, playing };
    };
    const buffer = audio.toAudioBuffer(new OfflineAudioContext(1, 1, 44100), result);
    const channel = buffer.getChannelData(0);
    let bufferExact = buffer.length === n && buffer.sampleRate === 44100;
    for (let i = 0; i < n; i++) if (channel[i] !== result.samples[i] / 32768) bufferExact = false;

    // pan 0 of a mono source: both channels times cos(pi/4) (the equal-power law)
    const half = await run({ volume: 0.5 });
    const k = Math.cos(Math.PI / 4);
    let worst = 0;
    for (let i = 0; i < n; i++) {
      const want = (result.samples[i] / 32768) * 0.5 * k;
      worst = Math.max(worst, Math.abs(half.left[i] - want), Math.abs(half.right[i] - want));
    }
    const tailSilent = (data, from) => data.subarray(from).every((x) => x === 0);
    const left = await run({ pan: -1 });
    const fast = await run({ rate: 2 });
    const looped = await run({ loop: true });
    const muted = await run({}, (context) => { const g = context.createGain(); g.gain.value = 0; g.connect(context.destination); return g; });
    return {
      bufferExact, worst, sameBuffer: half.sameBuffer,
      afterEnd: tailSilent(half.left, n),
      hardLeft: left.right.every((x) => x === 0) && left.left.some((x) => x !== 0),
      fastEnds: tailSilent(fast.left, Math.ceil(n / 2) + 1) && fast.left[Math.floor(n / 2) - 2] !== 0,
      loopGoesOn: !tailSilent(looped.left, n + 1),
      muted: muted.left.every((x) => x === 0),
    };
  });
  assert.deepEqual(got, { bufferExact: true, worst: got.worst, sameBuffer: true, afterEnd: true, hardLeft: true,
    fastEnds: true, loopGoesOn: true, muted: true });
  assert.ok(got.worst < 1e-6, `largest difference ${got.worst}`);
});

test('stop() ends a playing Sound; play() refuses unknown options and values out of range', async () => {
  const cases = [[{ volum: 1 }, 'TypeError'], [{ volume: NaN }, 'RangeError'], [{ volume: 10 }, 'played'],
    [{ volume: 10.001 }, 'RangeError'], [{ pan: -1.001 }, 'RangeError'], [{ pan: 1 }, 'played'], [{ rate: 1 / 17 }, 'RangeError'],
    [{ rate: 16 }, 'played'], [{ loop: 'yes' }, 'TypeError'], ['another context\'s destination', 'TypeError']];
  const got = await page.evaluate(async (options) => {
    const context = new AudioContext();
    const sound = audio.fromPreset(context, 'explosion', 2);
    const playing = sound.play({ loop: true });
    playing.stop();
    playing.stop(); // again: nothing
    await playing.ended;
    const other = new OfflineAudioContext(1, 1, 44100);
    const verdicts = options.map((o) => {
      try {
        sound.play(typeof o === 'string' ? { destination: other.destination } : o);
        return 'played';
      } catch (error) {
        return error.constructor.name;
      }
    });
    await context.close();
    return verdicts;
  }, cases.map(([options]) => options));
  assert.deepEqual(got, cases.map(([, verdict]) => verdict));
});

// A layered sound of recipes: a preset, a settings string later and quieter, a muted layer.
const LAYERED = [{ preset: 'laser', seed: 42 }, { settings: CSV, seed: 7, offset: 2205, gainDb: -9.5 },
  { preset: 'explosion', seed: 3, offset: 50000, muted: true }];

test('a layered sound mixes as the native tool\'s render --layers, and a Sound of it plays its samples', async () => {
  const got = await page.evaluate(async (layers) => {
    const result = audio.renderLayered(layers);
    const context = new OfflineAudioContext(1, result.sampleCount, 44100);
    const sound = audio.fromLayers(context, layers);
    sound.play();
    const played = (await context.startRendering()).getChannelData(0);
    const channel = sound.buffer.getChannelData(0);
    const exact = channel.length === result.sampleCount && channel.every((x, i) => x === result.samples[i] / 32768);
    // pan 0 of a mono source into a mono context: each channel times cos(pi/4), mixed down as their mean
    const worst = Math.max(...played.map((x, i) => Math.abs(x - (result.samples[i] / 32768) * Math.cos(Math.PI / 4))));
    return { wav: [...result.wav], exact, worst, loud: Math.max(...played.map(Math.abs)) };
  }, LAYERED);
  assert.ok(Buffer.from(got.wav).equals(nativeLayers(layersOf(LAYERED)).wav), 'the tool\'s WAV');
  assert.ok(got.exact && got.worst < 1e-6 && got.loud > 0.1, JSON.stringify({ ...got, wav: undefined }));
});

test('a SoundCache renders each recipe once, keyed by recipe and seed', async () => {
  const got = await page.evaluate(() => {
    const cache = new audio.SoundCache(new OfflineAudioContext(1, 1, 44100));
    const a = cache.get({ preset: 'coin', seed: 1 });
    return {
      same: cache.get({ preset: 'coin', seed: 1 }) === a,
      byNumber: cache.get({ preset: 0, seed: 1 }) === a,
      otherSeed: cache.get({ preset: 'coin', seed: 2 }) !== a,
      otherLength: cache.get({ preset: 'coin', seed: 1, bufferLength: 1 }) !== a,
      settings: cache.get({ settings: quavix.toSettingsString(quavix.defaults()), seed: 1 }) !== a,
      size: cache.size,
    };
  });
  assert.deepEqual(got, { same: true, byNumber: true, otherSeed: true, otherLength: true, settings: true, size: 4 });
});

test('quavix.global.js works in a page opened from disk, with the API of the modules; renderInWorker renders here', async () => {
  const dir = scratchDir();
  copyFileSync(join(js, 'quavix.global.js'), join(dir, 'quavix.global.js'));
  // a page opened from disk cannot start a module Worker: renderInWorker renders on the main thread and says so once
  writeFileSync(join(dir, 'page.html'), `<!doctype html><script src="quavix.global.js"></script>
    <script>const notes = []; console.info = (text) => notes.push(text);
    quavix.init().then(async () => { const rng = quavix.random(1);
      const coin = Array.from(quavix.render(quavix.preset('coin', rng), rng).wav);
      const recipe = { preset: 'coin', seed: 1 };
      const [a, b] = await Promise.all([quavix.audio.renderInWorker(recipe), quavix.audio.renderInWorker(recipe)]);
      const c = await quavix.audio.renderInWorker(recipe);
      await quavix.initLayers();
      const layered = Array.from(quavix.audio.renderLayered(${JSON.stringify(LAYERED)}).wav);
      window.done = { coin, worker: [a, b, c].map((r) => Array.from(r.wav)), notes, layered }; });</script>`);
  const disk = await open(browser, `file://${join(dir, 'page.html')}`);
  await disk.page.waitForFunction(() => window.done !== undefined, null, { timeout: 20000 });
  const { coin, worker, notes, layered } = await disk.page.evaluate(() => window.done);
  const want = nativeRender(['--preset', 'coin', '--seed', '1']).wav;
  for (const wav of [coin, ...worker]) assert.ok(Buffer.from(wav).equals(want));
  assert.ok(Buffer.from(layered).equals(nativeLayers(layersOf(LAYERED)).wav), 'the layered sound');
  assert.equal(notes.length, 1, notes.join('\n'));
  assert.match(notes[0], /^quavix\/audio: renderInWorker renders on the main thread: /);
  const keys = await disk.page.evaluate(() => ({ core: Object.keys(quavix).sort(), audio: Object.keys(quavix.audio).sort(),
    play: Object.keys(quavix.play).sort(), callable: typeof quavix.play }));
  const module = await page.evaluate(async () => ({ core: Object.keys(quavix).sort(), audio: Object.keys(audio).sort(),
    play: Object.keys(await import('/play.js')).sort(), callable: 'function' }));
  assert.deepEqual({ ...keys, core: keys.core.filter((k) => k !== 'audio' && k !== 'play') }, module);
  assert.deepEqual(disk.errors, []);
});
