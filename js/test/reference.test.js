// The reference sounds that the native build wrote (tests/reference_sounds.txt),
// made again through the package: the same sample count and the same 64-bit
// FNV-1a digest of the WAV image, recipe by recipe. The recipe steps are the
// module's actions: bN buffer length, sN seed, pN preset, r randomize,
// mHEX mutate by the float of bits HEX, vI=HEX set stored parameter I.
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import test from 'node:test';
import * as quavix from '../node.js';
import { REFERENCE_SOUNDS } from '../testing/native.js';

await quavix.init();

const floatOfBits = (hex) => new Float32Array(new Uint32Array([parseInt(hex, 16)]).buffer)[0];

// FNV-1a 64 in two 32-bit halves: h * (2^40 + 0x1b3) = h * 0x1b3 + (lo << 40).
function fnv1a64(bytes) {
  let hi = 0xcbf29ce4;
  let lo = 0x84222325;
  for (const byte of bytes) {
    lo = (lo ^ byte) >>> 0;
    const low = lo * 0x1b3;
    hi = (Math.imul(hi, 0x1b3) + Math.floor(low / 2 ** 32) + (lo << 8)) >>> 0;
    lo = low >>> 0;
  }
  return hi.toString(16).padStart(8, '0') + lo.toString(16).padStart(8, '0');
}

function runRecipe(recipe) {
  const [buffer, ...actions] = recipe.split(',');
  let p = quavix.defaults();
  let rng = null;
  const steps = {
    s: (arg) => { rng = quavix.random(Number(arg)); },
    p: (arg) => { p = quavix.preset(Number(arg), rng); },
    r: () => { p = quavix.randomize(rng); },
    m: (arg) => { p = quavix.mutate(p, floatOfBits(arg), rng); },
    v: (arg) => { const [index, bits] = arg.split('='); p.setStored(Number(index), floatOfBits(bits)); },
  };
  for (const step of actions) steps[step[0]](step.slice(1));
  const { wav, sampleCount } = quavix.render(p, rng, { bufferLength: Number(buffer.slice(1)) });
  return `${sampleCount} ${fnv1a64(wav)}`;
}

const lines = readFileSync(REFERENCE_SOUNDS, 'utf8').split('\n').filter((l) => l !== '' && !l.startsWith('#'));

test('every reference sound is the native build\'s, byte for byte', () => {
  assert.ok(lines.length >= 90, `only ${lines.length} reference sounds`);
  const wrong = [];
  for (const [, recipe, native] of lines.map((l) => l.match(/^(\S+) (.*)$/))) {
    const got = runRecipe(recipe);
    if (got !== native) wrong.push(`${recipe}: ${got}, native ${native}`);
  }
  assert.deepEqual(wrong, []);
});
