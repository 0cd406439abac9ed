// The package's runner of the cross-binding cases (tests/bindings/agreement.py):
// each case through the public API as a JavaScript user would call it, text
// turned into numbers by Number(), and one answer a line on stdout.
//   node test/agree.mjs CASES
import { createHash } from 'node:crypto';
import { readFileSync } from 'node:fs';
import * as quavix from '../node.js';

await quavix.init();

// The parameters of a source, drawing from rng where the source draws.
function source(text, rng) {
  if (text === 'default') return quavix.defaults();
  if (text === 'randomize') return quavix.randomize(rng);
  if (text.startsWith('preset:')) return quavix.preset(text.slice('preset:'.length), rng);
  if (text.startsWith('csv:')) { // the strict import: the check, then the import
    const csv = text.slice('csv:'.length);
    const check = quavix.checkSettingsString(csv);
    if (!check.ok) throw new Error(`quavix: ${check.error}`);
    return quavix.fromSettingsString(csv);
  }
  throw new Error(`no such source: ${text.slice(0, 40)}`);
}

function answer([name, seed, from, sets, mutate, buffer]) {
  try {
    const rng = quavix.random(Number(seed));
    let p = source(from, rng);
    for (const assignment of sets.split(';').filter(Boolean)) {
      const eq = assignment.indexOf('=');
      p.set(assignment.slice(0, eq), Number(assignment.slice(eq + 1)));
    }
    if (mutate !== '') p = quavix.mutate(p, Number(mutate), rng);
    const { samples } = quavix.render(p, rng, buffer === '' ? undefined : { bufferLength: Number(buffer) });
    const bytes = new Uint8Array(samples.buffer, samples.byteOffset, samples.byteLength); // little-endian int16
    return `${name}\tok\t${createHash('sha256').update(bytes).digest('hex')}`;
  } catch (error) {
    return `${name}\trefused\t${error.message.split('\n')[0]}`;
  }
}

const cases = readFileSync(process.argv[2], 'utf8').split('\n').filter(Boolean).map((line) => line.split('\t'));
process.stdout.write(cases.map((fields) => `${answer(fields)}\n`).join(''));
