import { describe, expect, test } from 'vitest';
import { formatFloat32 } from '../../src/format';
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
