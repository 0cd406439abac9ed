// What the package refuses before the module sees it, and what it carries
// unharmed: numbers out of rule, unknown options, non-finite stored values
// through JSON and structuredClone, oversized inputs, bad WAV images.
import assert from 'node:assert/strict';
import test from 'node:test';
import * as quavix from '../node.js';
import { play, readWav } from '../play.js';

await quavix.init();

test('mutate() and freqHz() refuse NaN and values out of their rule with a RangeError naming the argument', () => {
  const p = quavix.defaults();
  // mutate scales the amount by 10 in float32: the largest float32 is 3.4028235e38
  const cases = [
    { name: 'mutate NaN', call: () => quavix.mutate(p, NaN, quavix.random(1)), refused: /amount NaN/ },
    { name: 'mutate Infinity', call: () => quavix.mutate(p, Infinity, quavix.random(1)), refused: /amount Infinity/ },
    { name: 'mutate -Infinity', call: () => quavix.mutate(p, -Infinity, quavix.random(1)), refused: /amount -Infinity/ },
    { name: 'mutate tenfold overflows', call: () => quavix.mutate(p, 3.5e37, quavix.random(1)), refused: /amount 3.5e\+37/ },
    { name: 'mutate tenfold fits', call: () => quavix.mutate(p, 3.4e37, quavix.random(1)), refused: null },
    { name: 'mutate negative (the module takes it)', call: () => quavix.mutate(p, -0.5, quavix.random(1)), refused: null },
    { name: 'mutate 0', call: () => quavix.mutate(p, 0, quavix.random(1)), refused: null },
    { name: 'freqHz NaN', call: () => quavix.freqHz(NaN), refused: /hz NaN/ },
    { name: 'freqHz -1', call: () => quavix.freqHz(-1), refused: /hz -1/ },
    { name: 'freqHz 0', call: () => quavix.freqHz(0), refused: null },
    { name: 'freqHz 0.5', call: () => quavix.freqHz(0.5), refused: /hz 0.5/ },
    { name: 'freqHz 2147483647', call: () => quavix.freqHz(2147483647), refused: null },
    { name: 'freqHz 2147483648', call: () => quavix.freqHz(2147483648), refused: /hz 2147483648/ },
    { name: 'set NaN', call: () => p.clone().set('SustainTime', NaN), refused: /SustainTime NaN/ },
    { name: 'set -0.01 s', call: () => p.clone().set('DecayTime', -0.01), refused: /DecayTime -0.01/ },
  ];
  for (const c of cases) {
    if (c.refused === null) assert.doesNotThrow(c.call, c.name);
    else assert.throws(c.call, (e) => e instanceof RangeError && c.refused.test(e.message), c.name);
  }
  // nothing refused leaves a mark: the settings string of a mutation by 0.1 holds no "nan"
  assert.doesNotMatch(quavix.toSettingsString(quavix.mutate(p, 0.1, quavix.random(2))), /nan|inf/i);
});

test('an unknown option key throws a TypeError naming it; undefined options are the defaults', () => {
  const p = quavix.defaults();
  const cases = [
    { name: 'render misspelt', call: () => quavix.render(p, quavix.random(1), { bufferLenght: 2 }), key: 'bufferLenght' },
    { name: 'render extra', call: () => quavix.render(p, quavix.random(1), { bufferLength: 1, seed: 2 }), key: 'seed' },
    { name: 'soundLengthBound', call: () => quavix.soundLengthBound(p, { length: 1 }), key: 'length' },
  ];
  for (const c of cases) {
    assert.throws(c.call, (e) => e instanceof TypeError && e.message.includes(JSON.stringify(c.key)), c.name);
  }
  assert.throws(() => quavix.render(p, quavix.random(1), 5), TypeError);
  assert.equal(quavix.render(p, quavix.random(1)).sampleCount, quavix.render(p, quavix.random(1), {}).sampleCount);
});

test('Params travel as plain data through JSON, structuredClone and postMessage, non-finite values included', async () => {
  const p = quavix.preset('laser', quavix.random(4))
    .setStored('Slide', NaN).setStored('DeltaSlide', Infinity).setStored('VibDepth', -Infinity);
  const data = p.toJSON();
  assert.equal(data.Slide, 'NaN');
  assert.equal(data.DeltaSlide, 'Infinity');
  assert.equal(data.VibDepth, '-Infinity');
  const { port1, port2 } = new MessageChannel();
  const posted = new Promise((resolve) => { port2.onmessage = ({ data: d }) => resolve(d); });
  port1.postMessage(data);
  const ways = {
    JSON: JSON.parse(JSON.stringify(p)),
    structuredClone: structuredClone(data),
    postMessage: await posted,
  };
  port1.close();
  for (const [way, copy] of Object.entries(ways)) {
    const back = quavix.fromJSON(copy);
    for (const name of quavix.PARAM_NAMES) assert.ok(Object.is(back.stored(name), p.stored(name)), `${way}: ${name}`);
  }
  // a number NaN, as structuredClone of the stored values keeps it, is taken too
  assert.ok(Number.isNaN(quavix.fromJSON({ Slide: NaN }).stored('Slide')));
  for (const bad of [{ Slide: 'nan' }, { Slide: null }, { Slide: '1' }]) assert.throws(() => quavix.fromJSON(bad), TypeError);
  assert.throws(() => quavix.fromJSON('{}'), TypeError);
});

test('only a settings file\'s worth of bytes is copied into the module; long texts are refused before copying', () => {
  const file = quavix.writeSfs(quavix.preset('hurt', quavix.random(6)));
  const huge = new Uint8Array(256 * 1024 * 1024); // untouched pages: only copying them would make them resident
  huge.set(file);
  huge.fill(0xff, file.length, file.length + 4096);
  const before = process.memoryUsage().rss;
  const read = quavix.readSfs(huge);
  const grown = process.memoryUsage().rss - before;
  assert.ok(read.equals(quavix.readSfs(file)), 'the bytes after the fields are ignored');
  assert.ok(grown < 32 * 1024 * 1024, `resident memory grew by ${grown} bytes`);

  const long = '1,'.repeat(40000);
  assert.throws(() => quavix.fromSettingsString(long), RangeError);
  assert.equal(quavix.checkSettingsString(long).ok, false);
  assert.equal(quavix.checkSettingsString('1,'.repeat(23) + '1').ok, true);
  assert.throws(() => quavix.defaults().get('V'.repeat(100000)), RangeError);
});

// A 44-byte header as quavix.render() writes it, with fields changed.
function wavImage({ rate = 44100, format = 1, channels = 1, bits = 16, samples = [1, -2] } = {}) {
  const bytes = new Uint8Array(44 + 2 * samples.length);
  const view = new DataView(bytes.buffer);
  [...'RIFF'].forEach((c, i) => view.setUint8(i, c.charCodeAt(0)));
  view.setUint32(4, 36 + 2 * samples.length, true);
  [...'WAVEfmt '].forEach((c, i) => view.setUint8(8 + i, c.charCodeAt(0)));
  view.setUint32(16, 16, true);
  view.setUint16(20, format, true);
  view.setUint16(22, channels, true);
  view.setUint32(24, rate, true);
  view.setUint32(28, rate * 2, true);
  view.setUint16(32, 2, true);
  view.setUint16(34, bits, true);
  [...'data'].forEach((c, i) => view.setUint8(36 + i, c.charCodeAt(0)));
  view.setUint32(40, 2 * samples.length, true);
  samples.forEach((s, i) => view.setInt16(44 + 2 * i, s, true));
  return bytes;
}

test('play() and readWav() check the WAV image before any audio context is made', async () => {
  const cases = [
    { name: 'rate 0', wav: wavImage({ rate: 0 }), error: RangeError },
    { name: 'rate 1e9', wav: wavImage({ rate: 1e9 }), error: RangeError },
    { name: 'rate 7999', wav: wavImage({ rate: 7999 }), error: RangeError },
    { name: 'rate 8000', wav: wavImage({ rate: 8000 }), error: null },
    { name: 'rate 96000', wav: wavImage({ rate: 96000 }), error: null },
    { name: 'rate 96001', wav: wavImage({ rate: 96001 }), error: RangeError },
    { name: 'stereo', wav: wavImage({ channels: 2 }), error: TypeError },
    { name: '8 bits', wav: wavImage({ bits: 8 }), error: TypeError },
    { name: 'float format', wav: wavImage({ format: 3 }), error: TypeError },
    { name: 'not RIFF', wav: new Uint8Array(44), error: TypeError },
    { name: '43 bytes', wav: wavImage().slice(0, 43), error: TypeError },
  ];
  for (const c of cases) {
    if (c.error === null) {
      assert.deepEqual([...readWav(c.wav).samples], [1, -2], c.name);
    } else {
      assert.throws(() => readWav(c.wav), c.error, c.name);
      await assert.rejects(play(c.wav), c.error, c.name); // Node has no AudioContext: refused first
    }
  }
  const rendered = quavix.render(quavix.defaults(), quavix.random(1));
  assert.deepEqual(readWav(rendered), { sampleRate: 44100, samples: rendered.samples });
});
