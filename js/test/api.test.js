// The package's own contract over the module: loading, what it refuses before
// the module sees it (naming the argument), what it carries unharmed, and what
// it adds to the C API (expected values from the C API's formulas, derived here).
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { readFileSync } from 'node:fs';
import { createServer } from 'node:http';
import test from 'node:test';
import * as quavix from '../node.js';
import { play, readWav } from '../play.js';

const js = new URL('..', import.meta.url);
const DEFAULT_CSV = '1.0000,,,0.3000,,0.4000,0.3000,,,,,,,,,,,,,1.0000,,,,';

test('before init() calls throw; a failed load names what it tried and may be tried again; init() loads once', async () => {
  for (const call of [() => quavix.defaults(), () => quavix.random(1), () => quavix.freqHz(440)]) {
    assert.throws(call, { message: 'quavix: call await init() first' });
  }
  const server = createServer((request, response) => response.writeHead(404).end());
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  const http = `http://127.0.0.1:${server.address().port}/assets/quavix.wasm`;
  const failures = [[42, TypeError], ['/nowhere/quavix.wasm', 'cannot read the module from /nowhere/quavix.wasm'],
    ['nowhere/quavix.wasm', 'cannot read the module from nowhere/quavix.wasm'],
    [new URL('file:///nowhere/q.wasm'), 'cannot read the module from /nowhere/q.wasm'],
    [http, `cannot load the module from ${http}: HTTP 404`], [fetch(http), `cannot load the module from ${http}: HTTP 404`],
    ['http://127.0.0.1:1/quavix.wasm', 'cannot load the module from http://127.0.0.1:1/quavix.wasm']];
  try {
    for (const [source, names] of failures) {
      await assert.rejects(quavix.init(source), typeof names === 'string' ? (e) => e.message.includes(names) : names, String(source));
    }
  } finally {
    server.close();
  }
  const bytes = readFileSync(new URL('quavix.wasm', js));
  const module = new WebAssembly.Module(bytes);
  assert.equal(WebAssembly.Module.imports(module).length, 0);
  const first = quavix.init(module);
  assert.equal(quavix.init(bytes), first);
  await first;
  assert.equal(quavix.toSettingsString(quavix.defaults()), DEFAULT_CSV);
  // the layered sounds' module loads by itself, and only that module
  assert.throws(() => quavix.renderLayers([]), { message: 'quavix: call await initLayers() first' });
  await assert.rejects(quavix.initLayers(bytes), { message: 'quavix: the layered sounds\' module is not quavix-layers.wasm' });
  await quavix.initLayers();
  assert.equal(quavix.renderLayers([{ params: quavix.defaults(), seed: 1 }]).sampleCount, 25003);
});

test('the browser entry point, run by Node 20.16 or later (as test runners do), reads its own module from disk', () => {
  const script = "import * as q from './index.js'; await q.init(); process.stdout.write(q.toSettingsString(q.defaults()));";
  const run = spawnSync(process.execPath, ['--input-type=module', '-e', script], { cwd: js, encoding: 'utf8' });
  assert.deepEqual([run.stderr, run.stdout], ['', DEFAULT_CSV]);
});

test('bad arguments throw, naming what is wrong, before anything is drawn or changed', async () => {
  await quavix.init();
  const p = quavix.defaults();
  const rng = quavix.random(1);
  const mutate = (amount) => () => quavix.mutate(p, amount, quavix.random(1));
  const cases = [ // [call, the error's class and its message, or null where the call is taken]
    [() => p.get('Loudness'), RangeError], [() => p.set(24, 1), RangeError], [() => p.setStored(1.5, 0), RangeError],
    [() => p.get('Volume\0'), RangeError],
    // a name is quoted whole up to 40 characters, else its first 40 and "..."
    [() => p.get('V'.repeat(100000)), RangeError, /^quavix: unknown parameter 'V{40}\.\.\.'$/],
    [() => p.set('V'.repeat(40), 1), RangeError, /^quavix: unknown parameter 'V{40}'$/],
    [() => quavix.preset('x'.repeat(41), rng), RangeError, /^quavix: unknown preset family 'x{40}\.\.\.': one of coin, laser/],
    [() => quavix.preset('bell', rng), RangeError, /family 'bell'/], [() => quavix.preset(7, rng), RangeError, /family 7:/],
    // seeds as the quavix tool's --seed takes them: whole numbers from -2^31 to 2^32 - 1, in its words
    [() => quavix.random(1.5), RangeError, /^quavix: seed 1\.5 is not a whole number$/],
    [() => quavix.random(NaN), RangeError, /seed NaN is not a whole number/],
    [() => quavix.random(Infinity), RangeError, /seed Infinity is not a whole number/],
    [() => quavix.random(2 ** 32), RangeError, /^quavix: seed 4294967296 is out of range \(-2147483648 to 4294967295\)$/],
    [() => quavix.random(-(2 ** 31) - 1), RangeError, /seed -2147483649 is out of range/],
    [() => quavix.random(2 ** 32 - 1), null], [() => quavix.random(-(2 ** 31)), null], [() => quavix.random('1'), TypeError],
    [() => { quavix.random(1).state = 0.5; }, RangeError, /^quavix: state 0\.5 is not a whole number$/],
    [() => { quavix.random(1).state = 2 ** 32; }, RangeError, /state 4294967296 is out of range/],
    // buffer lengths as its --buffer-length takes them
    [() => quavix.render(p, rng, { bufferLength: 1.5 }), RangeError, /^quavix: bufferLength 1\.5 is not a whole number$/],
    [() => quavix.bufferSamples(-1), RangeError, /^quavix: bufferLength -1 is out of range \(0 to 60\)$/],
    [() => quavix.soundLengthBound(p, { bufferLength: '5' }), TypeError], [() => quavix.bufferSamples(60), null],
    [() => quavix.preset('coin', 1), TypeError], [() => quavix.render({}, rng), TypeError],
    [() => quavix.render(p, rng, { bufferLength: 61 }), RangeError, /bufferLength 61 is out of range \(0 to 60\)/],
    [() => quavix.render(p, rng, 5), TypeError],
    [() => quavix.render(p, rng, { bufferLenght: 2 }), TypeError, /'bufferLenght'/],
    [() => quavix.render(p, rng, { bufferLength: 1, seed: 2 }), TypeError, /'seed'/],
    [() => quavix.soundLengthBound(p, { length: 1 }), TypeError, /'length'/],
    [() => quavix.fromJSON({ Pitch: 1 }), RangeError], [() => quavix.fromJSON('{}'), TypeError],
    [() => quavix.fromJSON({ Slide: 'nan' }), TypeError], [() => quavix.fromJSON({ Slide: null }), TypeError],
    [() => quavix.fromJSON({ Slide: '1' }), TypeError],
    [() => quavix.fromJSON({ ['P'.repeat(50)]: 'x'.repeat(50) }), TypeError, /^quavix: 'P{40}\.\.\.': .* not 'x{40}\.\.\.'$/],
    [() => quavix.render(p, rng, { ['o'.repeat(50)]: 1 }), TypeError, /no option 'o{40}\.\.\.' \(its options: bufferLength\)/],
    [() => quavix.fromSettingsString('1,'.repeat(40000)), RangeError],
    // the core's mutation amounts: 0 to 1 as float32 (1 + 2^-23 is the float above 1)
    [mutate(NaN), RangeError, /^quavix: mutate NaN is not an amount from 0 to 1$/],
    [mutate(1 + 2 ** -23), RangeError, /mutate 1\.0000001192092896 is not/], [mutate(1), null],
    [mutate(-(2 ** -149)), RangeError, /is not an amount from 0 to 1/], [mutate(-0), null], [mutate(0), null],
    [() => quavix.freqHz(440.5), RangeError], [() => quavix.freqHz(NaN), RangeError, /hz NaN/],
    [() => quavix.freqHz(-1), RangeError, /hz -1/], [() => quavix.freqHz(0), null],
    [() => quavix.freqHz(0.5), RangeError, /hz 0.5/], [() => quavix.freqHz(2147483647), null],
    [() => quavix.freqHz(2147483648), RangeError, /hz 2147483648/],
    [() => quavix.freqForPitch(3), RangeError, /between 3\.528 and 44100 Hz/],
    // set() takes users' units and refuses what the core's rule refuses (its edges are the C
    // library's tests), in the package's words; setStored() stays raw
    [() => p.set('Volume', '1'), TypeError],
    [() => p.set('SustainTime', -5), RangeError, /^quavix: SustainTime -5: a time cannot be negative$/],
    [() => p.set('DecayTime', 56), RangeError, /^quavix: DecayTime 56: longer than the longest possible sound \(55\.78 s\)$/],
    [() => p.set('VibSpeed', 22050.002), RangeError, /faster than 22050 cycles per second/],
    [() => p.set('WaveType', 4), RangeError, /WaveType 4: the wave type is 0 square, 1 sawtooth, 2 sine or 3 noise/],
    [() => p.set('Volume', NaN), RangeError, /Volume NaN: a value must be a finite number/],
    [() => p.set('SustainTime', NaN), RangeError, /SustainTime NaN/],
  ];
  for (const [call, type, message] of cases) {
    if (type === null) assert.doesNotThrow(call, String(call));
    else assert.throws(call, (e) => e instanceof type && (message?.test(e.message) ?? true), String(call));
    assert.ok(p.equals(quavix.defaults()) && rng.state === 1, `${call}: nothing changes`);
  }
  for (const [name, value] of [['SustainTime', 0], ['DecayTime', 55], ['WaveType', 3], ['Slide', -1e30], ['RepeatSpeed', 0],
    ['VibSpeed', 22050]]) {
    assert.equal(quavix.checkUserValue(name, value), null, `${name} ${value}`);
    p.set(name, value);
  }
  // the core's users' rule: a repeat rarer than once in 48695.8 s keeps the longest count (not -Infinity)
  assert.equal(quavix.defaults().set('RepeatSpeed', 1e-45).stored('RepeatSpeed'), Math.fround(-326.679993));
  assert.ok(Number.isNaN(quavix.defaults().setStored('SustainTime', NaN).stored('SustainTime')));
  assert.equal(quavix.defaults().setStored('SustainTime', -5).stored('SustainTime'), -5);
  assert.ok(quavix.preset('COIN', quavix.random(3)).equals(quavix.preset(0, quavix.random(3))), 'case-blind');
  // nothing refused leaves a mark: the settings string of a mutation by 0.1 holds no "nan"
  assert.doesNotMatch(quavix.toSettingsString(quavix.mutate(quavix.defaults(), 0.1, quavix.random(2))), /nan|inf/i);
  assert.equal(quavix.render(p, quavix.random(1)).sampleCount, quavix.render(p, quavix.random(1), {}).sampleCount);
  // the default buffer is 5 s everywhere: 5 x 41000 samples
  assert.deepEqual([quavix.bufferSamples(), quavix.soundLengthBound(quavix.defaults().set('SustainTime', 50))], [205000, 205000]);
});

test('random() without a seed takes 32 bits from crypto.getRandomValues', async (t) => {
  await quavix.init();
  const drawn = [4000000000, 0];
  t.mock.method(globalThis.crypto, 'getRandomValues', (array) => { array[0] = drawn.shift(); return array; });
  assert.deepEqual([quavix.random().seed, quavix.random().state], [4000000000, 0]);
});

test('values cross into float32 as the module rounds them', async () => {
  await quavix.init();
  const p = quavix.defaults();
  assert.equal(p.set('sustaintime', 0.3).stored(3), Math.fround(Math.sqrt(Math.fround(0.3) / 2.2675)));
  assert.equal(p.setStored('WaveType', -2.9).get('WaveType'), -2);
  for (const hz of [3528, 440, 20]) assert.equal(quavix.freqHz(hz), Math.fround(Math.sqrt(100 / (44100 / (hz * 0.125)))));
  const rng = quavix.random(42);
  const copy = rng.clone();
  const state = (42 * 214013 + 2531011) >>> 0;
  assert.deepEqual([rng.draw(), rng.state, copy.state, quavix.random(-1).state], [(state >>> 16) & 0x7fff, state, 42, 2 ** 32 - 1]);
});

test('Params copy, compare and travel through JSON, structuredClone and postMessage, non-finite values included', async () => {
  await quavix.init();
  const rng = quavix.random(8);
  const powerup = quavix.preset('powerup', rng);
  const mutated = quavix.mutate(powerup, 0.2, rng); // also changes VibReserved, which JSON does not carry
  assert.ok(!mutated.equals(powerup) && mutated.clone().equals(mutated) && quavix.fromJSON(powerup.toJSON()).equals(powerup));
  assert.ok(quavix.fromJSON({ LPCutoff: 0.5 }).equals(quavix.defaults().setStored(19, 0.5)));
  const p = quavix.preset('laser', quavix.random(4))
    .setStored('Slide', NaN).setStored('DeltaSlide', Infinity).setStored('VibDepth', -Infinity);
  const data = p.toJSON();
  assert.deepEqual([data.Slide, data.DeltaSlide, data.VibDepth], ['NaN', 'Infinity', '-Infinity']);
  const { port1, port2 } = new MessageChannel();
  const posted = new Promise((resolve) => { port2.onmessage = ({ data: d }) => resolve(d); });
  port1.postMessage(data);
  const ways = { JSON: JSON.parse(JSON.stringify(p)), structuredClone: structuredClone(data), postMessage: await posted };
  port1.close();
  for (const [way, copy] of Object.entries(ways)) {
    const back = quavix.fromJSON(copy);
    for (const name of quavix.PARAM_NAMES) assert.ok(Object.is(back.stored(name), p.stored(name)), `${way}: ${name}`);
  }
  // a number NaN, as structuredClone of the stored values keeps it, is taken too
  assert.ok(Number.isNaN(quavix.fromJSON({ Slide: NaN }).stored('Slide')));
});

test('a render reports its samples, peak, clamp and silence', async () => {
  await quavix.init();
  const cases = [[quavix.defaults(), false, false], [quavix.defaults().setStored('WaveType', 4), true, false],
    [quavix.defaults().setStored('Volume', 100), false, true]];
  for (const [p, silent, clipped] of cases) {
    const r = quavix.render(p, quavix.random(1));
    assert.deepEqual([r.sampleCount, r.wav.length, r.durationSeconds, quavix.SAMPLE_RATE], [25003, 44 + 2 * 25003, 25003 / 44100, 44100]);
    assert.deepEqual([r.silent, r.clipped > 0], [silent, clipped]);
    assert.deepEqual([r.peak, r.clipped], [Math.max(...r.samples.map(Math.abs)), r.samples.filter((s) => Math.abs(s) === 32000).length]);
  }
});

test('settings: bad files throw the C API\'s message and status; only a file\'s worth of bytes is copied', async () => {
  await quavix.init();
  const image = quavix.writeSfs(quavix.defaults());
  assert.throws(() => quavix.readSfs(image.slice(0, 3)), { status: -7, message: /version is not 100, 101 or 102/ });
  assert.throws(() => quavix.readSfs(image.slice(0, 50)), { status: -8, message: /ends inside its fields/ });
  assert.ok(quavix.readSfs(image.buffer).equals(quavix.defaults()));
  const file = quavix.writeSfs(quavix.preset('hurt', quavix.random(6)));
  const huge = new Uint8Array(256 * 1024 * 1024); // untouched pages: only copying them would make them resident
  huge.set(file);
  huge.fill(0xff, file.length, file.length + 4096);
  const before = process.memoryUsage().rss;
  const read = quavix.readSfs(huge);
  const grown = process.memoryUsage().rss - before;
  assert.ok(read.equals(quavix.readSfs(file)), 'the bytes after the fields are ignored');
  assert.ok(grown < 32 * 1024 * 1024, `resident memory grew by ${grown} bytes`);
});

test('checkSettingsString() is the quavix tool\'s --csv check, naming the field', async () => {
  await quavix.init();
  const cases = [ // [text, badField or null where it passes, the error]
    ['', null], ['1,2,3', null], ['1,'.repeat(23) + '1', null], ['1,\0x', null], // the module reads up to a NUL
    ['abc', 0, "field 0 'abc': a settings-string field is not a number"],
    ['1,,1 ', 2, "field 2 '1 ': a settings-string field is not a number"],
    [`${'9'.repeat(39)}x`, 0, `field 0 '${'9'.repeat(39)}x': a settings-string field is not a number`],
    [`${'9'.repeat(40)}x`, 0, `field 0 '${'9'.repeat(40)}...': a settings-string field is not a number`],
    ['1,'.repeat(24) + '1', 24, 'the settings string has more than 24 fields'],
    ['1,'.repeat(40000), -1, 'a settings string of 80000 characters: at most 65536 are read'],
  ];
  for (const [text, badField, error] of cases) {
    const name = JSON.stringify(text.slice(0, 50));
    assert.deepEqual(quavix.checkSettingsString(text), badField === null ? { ok: true, badField: -1, error: null }
      : { ok: false, badField, error }, name);
  }
  assert.throws(() => quavix.checkSettingsString(5), TypeError);
  assert.ok(quavix.fromSettingsString('0.5,\0,7').equals(quavix.fromSettingsString('0.5,')), 'the import reads up to a NUL too');
});

test('paramInfo() is the core\'s table: names, groups, units, defaults and ranges', async () => {
  await quavix.init();
  const all = quavix.paramInfo();
  assert.deepEqual(all.map((i) => i.name), [...quavix.PARAM_NAMES]);
  const sustain = quavix.paramInfo('sustaintime');
  // The default stores 0.3 (as float) and reads 0.3 x 0.3 x 2.2675 seconds.
  assert.deepEqual([sustain.index, sustain.group, sustain.unit, sustain.whole, sustain.defaultStored, sustain.default],
    [3, 'envelope', 'seconds', false, Math.fround(0.3), Math.fround(Math.fround(0.3) * Math.fround(0.3) * Math.fround(2.2675))]);
  assert.equal(sustain.valid.min, 0);
  assert.ok(Math.abs(sustain.valid.max - 60 * 41000 / 100000 * 2.2675) < 0.01);
  assert.deepEqual([quavix.paramInfo(1).whole, quavix.paramInfo(1).valid.max, quavix.paramInfo(6).frequency], [true, 3, true]);
  assert.equal(quavix.paramInfo('ChangeSpeed').groupTitle, 'Pitch jump');
  assert.equal(quavix.paramInfo('Slide').valid.min, -Infinity);
  for (const info of all) {
    assert.equal(quavix.defaults().stored(info.index), info.defaultStored, info.name);
    assert.ok(info.typical.min < info.typical.max && info.help.length > 0, info.name);
  }
});

test('pitch helpers: the period of a stored frequency and the closest achievable pitch', async () => {
  await quavix.init();
  // 100 / (0.3^2 + 0.001) = 1098.9 subsamples; 352800 / 440 = 801.8, and 802 sounds closer than 801.
  assert.deepEqual([quavix.startPeriod(0.3), quavix.startPeriod(0), quavix.startPeriod(100)], [1098, 100000, 8]);
  assert.equal(quavix.pitchOf(0.3), 352800 / 1098);
  const f = quavix.freqForPitch(440);
  assert.equal(quavix.startPeriod(f), 802);
  assert.ok(Math.abs(12 * Math.log2(quavix.pitchOf(f) / 440)) < 0.25);
  assert.equal(quavix.soundLengthBound(quavix.defaults()), 25003);
  assert.equal(quavix.soundLengthBound(quavix.defaults(), { bufferLength: 0 }), 0);
  assert.deepEqual([quavix.bufferSamples(0), quavix.bufferSamples(1), quavix.bufferSamples(60)], [0, 41000, 60 * 41000]);
});

// A 44-byte header as quavix.render() writes it, with fields changed.
function wavImage({ rate = 44100, format = 1, channels = 1, bits = 16, samples = [1, -2] } = {}) {
  const bytes = new Uint8Array(44 + 2 * samples.length);
  const view = new DataView(bytes.buffer);
  const put = (at, text) => [...text].forEach((c, i) => view.setUint8(at + i, c.charCodeAt(0)));
  put(0, 'RIFF');
  put(8, 'WAVEfmt ');
  put(36, 'data');
  [[4, 36 + 2 * samples.length], [16, 16], [24, rate], [28, rate * 2], [40, 2 * samples.length]]
    .forEach(([at, value]) => view.setUint32(at, value, true));
  [[20, format], [22, channels], [32, 2], [34, bits]].forEach(([at, value]) => view.setUint16(at, value, true));
  samples.forEach((s, i) => view.setInt16(44 + 2 * i, s, true));
  return bytes;
}

test('play() and readWav() check the WAV image before any audio context is made', async () => {
  await quavix.init();
  const cases = [[{ rate: 0 }, RangeError], [{ rate: 1e9 }, RangeError], [{ rate: 7999 }, RangeError], [{ rate: 8000 }, null],
    [{ rate: 96000 }, null], [{ rate: 96001 }, RangeError], [{ channels: 2 }, TypeError], [{ bits: 8 }, TypeError],
    [{ format: 3 }, TypeError], ['not RIFF', TypeError], ['43 bytes', TypeError]];
  for (const [fields, error] of cases) {
    const wav = fields === 'not RIFF' ? new Uint8Array(44) : fields === '43 bytes' ? wavImage().slice(0, 43) : wavImage(fields);
    const name = JSON.stringify(fields);
    if (error === null) {
      assert.deepEqual([...readWav(wav).samples], [1, -2], name);
    } else {
      assert.throws(() => readWav(wav), error, name);
      await assert.rejects(play(wav), error, name); // Node has no AudioContext: refused first
    }
  }
  const rendered = quavix.render(quavix.defaults(), quavix.random(1));
  assert.deepEqual(readWav(rendered), { sampleRate: 44100, samples: rendered.samples });
});
