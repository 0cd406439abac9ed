import { beforeAll, expect, test } from 'vitest';
import * as quavix from 'quavix';
import { cutNote, gainOf, readSettingsFile, settingsStringProblem, startSamples } from '../../src/messages';

beforeAll(() => quavix.init());

test('the cut note asks for the whole seconds of buffer the sound needs, 41000 samples each', () => {
  const cases = [
    { needed: 205001, seconds: 6 }, // one sample past 5 s of buffer
    { needed: 246000, seconds: 6 }, // exactly 6 s of buffer
    { needed: 246001, seconds: 7 },
  ];
  for (const c of cases) {
    expect(cutNote(5, c.needed), String(c.needed)).toBe(
      `The buffer length cuts this sound at 5 s: all of it needs a buffer length of ${c.seconds} s.`,
    );
  }
  expect(cutNote(60, null)).toMatch(
    /^The buffer length cuts this sound at 60 s, and it is longer than the longest buffer/,
  );
});

test('a file that is not a settings file is named in the message, in words a person knows', () => {
  const sfs = quavix.writeSfs(quavix.defaults());
  const cases = [
    { name: 'ok.sfs', bytes: sfs, message: null },
    {
      name: 'a.wav',
      bytes: new TextEncoder().encode('RIFF\0\0\0\0WAVE'),
      message: /^\u201ca\.wav\u201d is a sound file \(WAV\)/,
    },
    { name: 'e.sfs', bytes: new Uint8Array(0), message: /^\u201ce\.sfs\u201d is empty/ },
    {
      name: 'cut.sfs',
      bytes: sfs.slice(0, 50),
      message: /^\u201ccut\.sfs\u201d is not a settings file \(\.sfs\) that Quavix can read/,
    },
    { name: 'v99.sfs', bytes: Uint8Array.of(99, 0, 0, 0, ...sfs.slice(4)), message: /is not a settings file/ },
  ];
  for (const c of cases) {
    const got = readSettingsFile(c.name, c.bytes);
    if (c.message === null) expect(typeof got, c.name).toBe('object');
    else {
      expect(got, c.name).toMatch(c.message);
      expect(got, c.name).not.toMatch(/version|status|SustainTime/);
    }
  }
});

test('a layer start in milliseconds becomes whole samples at 44.1 a millisecond, rounded; a gain in tenths of a dB', async () => {
  await quavix.initLayers();
  const starts: [string, number | RegExp][] = [
    ['0', 0],
    ['125.5', 5535], // 5534.55 samples
    ['200.02', 8821], // 8820.882
    ['60000', 2646000],
    ['60001', /^The start is 0 to 60,000 ms \(60 s\), not 60001 ms\.$/],
    ['-1', /^The start is 0 to 60,000 ms/],
    ['', /^Type the start in milliseconds/],
    ['soon', /^Type the start in milliseconds/],
  ];
  for (const [text, expected] of starts) {
    const got = startSamples(text);
    if (typeof expected === 'number') expect(got, text).toBe(expected);
    else expect(got, text).toMatch(expected);
  }
  const gains: [string, number | RegExp][] = [
    ['12', 12],
    ['+12.0', 12],
    ['12.1', /^The gain is -60\.0 to \+12\.0 dB in steps of 0\.1, not \+12\.1 dB\.$/],
    ['-60', -60],
    ['-60.1', /^The gain is -60\.0 to \+12\.0 dB/],
    ['-6.5', -6.5],
    ['-6.55', /^The gain goes in steps of 0\.1 dB/],
    ['loud', /^Type the gain in dB/],
  ];
  for (const [text, expected] of gains) {
    const got = gainOf(text);
    if (typeof expected === 'number') expect(got, text).toBe(expected);
    else expect(got, text).toMatch(expected);
  }
});

test('a pasted settings string has one number per parameter: more or fewer fields are refused with their count', () => {
  const full = quavix.toSettingsString(quavix.defaults());
  const rule = 'A settings string is 24 numbers separated by commas, as Copy settings string gives it.';
  const refused = (fields: string) =>
    `The settings string cannot be read: it has ${fields}, and a settings string has 24. ${rule}`;
  const cases: [string, string | null][] = [
    [full, null],
    [`${full},1`, refused('25 fields')],
    ['1,'.repeat(30), refused('31 fields')],
    [full.split(',').slice(0, 23).join(','), refused('23 fields')],
    ['1,2,3', refused('3 fields')],
    ['', refused('1 field')],
    [',,,x', `The settings string cannot be read: field 4 is not a number. ${rule}`],
  ];
  for (const [text, problem] of cases) expect(settingsStringProblem(text), text).toBe(problem);
});
