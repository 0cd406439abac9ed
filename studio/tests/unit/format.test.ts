import { describe, expect, test } from 'vitest';
import { fileNameOf, formatFloat32, shortName } from '../../src/format';
import { sha256Own } from '../../src/sha256';

describe('formatFloat32', () => {
  // The shortest text that decimal -> double -> float reads back as the same float, never with an exponent.
  test.each([
    { value: 0.1, text: '0.1' },
    { value: 1 / 3, text: '0.33333334' }, // the float nearest 1/3 is 0.3333333432..., 7 digits do not reach it
    { value: 16777217, text: '16777216' }, // 2^24 + 1 is not a float
    { value: 1e-7, text: '0.0000001' },
    { value: -0, text: '-0' },
    { value: 2 ** -149, text: '0.000000000000000000000000000000000000000000001' }, // 1.4e-45 rounds to it
    { value: NaN, text: 'nan' },
  ])('$value', ({ value, text }) => {
    expect(formatFloat32(value)).toBe(text);
    if (!Number.isNaN(value)) expect(Object.is(Math.fround(Number(text)), Math.fround(value))).toBe(true);
  });
});

test('own SHA-256 gives the published digests, across the padding boundary', () => {
  const cases = [
    { text: '', digest: 'e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855' },
    { text: 'abc', digest: 'ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad' },
    // 56 bytes: the length no longer fits in the first block
    {
      text: 'abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq',
      digest: '248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1',
    },
  ];
  for (const c of cases) expect(sha256Own(new TextEncoder().encode(c.text)), c.text).toBe(c.digest);
});

test('a download is named after its sound, in characters every system takes, cut, never empty or a device', () => {
  const x = (n: number, c = 'x') => c.repeat(n);
  const cases = [
    { name: 'Coin / big', file: 'Coin _ big' },
    { name: 'a\\b:c*d?e"f<g>h|i', file: 'a_b_c_d_e_f_g_h_i' },
    { name: 'bell\u0007ring\u007f\u0085', file: 'bell_ring__' }, // controls: C0, DEL, C1
    { name: 'two\n\tlines  here', file: 'two lines here' }, // spaces and line breaks in a row: one space
    { name: 'evil\u202egnp.exe', file: 'evil_gnp.exe' }, // a mark that turns the text around
    { name: 'half \ud800 pair', file: 'half _ pair' },
    { name: 'Pièce montée 跳跃 🔔', file: 'Pièce montée 跳跃 🔔' }, // letters of any script stay
    { name: '  ..hidden..  ', file: 'hidden' }, // no dot or space at either end
    { name: x(80), file: x(80) },
    { name: x(81), file: x(80) },
    { name: x(79) + ' b', file: x(79) }, // cut at the space, which goes
    { name: x(100, '🔔'), file: x(80, '🔔') }, // characters, not halves of pairs
    { name: 'con', file: 'con_' },
    { name: 'LPT9.loud', file: 'LPT9_.loud' },
    { name: 'Nul .x', file: 'Nul_ .x' },
    { name: 'con' + x(77), file: 'con' + x(77) }, // no device: more than the word
    { name: 'com0', file: 'com0' },
    { name: 'aux.' + x(80), file: 'aux_.' + x(75) },
    { name: '', file: 'fallback' },
    { name: '   ', file: 'fallback' },
    { name: '/// ...', file: 'fallback' },
  ];
  for (const c of cases) expect(fileNameOf(c.name, 'fallback'), JSON.stringify(c.name)).toBe(c.file);
});

test('a name in a message is cut after 40 characters', () => {
  const cases = [
    { name: 'x'.repeat(40), shown: 'x'.repeat(40) },
    { name: 'x'.repeat(41), shown: 'x'.repeat(40) + '...' },
    { name: '🔔'.repeat(41), shown: '🔔'.repeat(40) + '...' },
  ];
  for (const c of cases) expect(shortName(c.name), c.name).toBe(c.shown);
});
