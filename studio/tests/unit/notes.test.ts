import { beforeAll, describe, expect, test } from 'vitest';
import * as quavix from 'quavix';
import { formatNote, noteOf, snapToNote, spokenNote } from '../../src/notes';
import { timeTicks } from '../../src/axis';

beforeAll(() => quavix.init());

/** A4 moved by `cents`: 440 x 2^(cents / 1200). */
const cents = (c: number) => 440 * 2 ** (c / 1200);

describe('the note nearest a frequency, with its cents (A4 = 440 Hz)', () => {
  test.each([
    { name: 'A4', hz: 440, shown: 'A4 +0 \u00a2' },
    { name: 'A#4 (Bb4)', hz: 466.16, shown: 'A#4 +0 \u00a2' }, // 440 x 2^(1/12) = 466.1638
    { name: '445 Hz', hz: 445, shown: 'A4 +20 \u00a2' }, // 1200 log2(445/440) = 19.56
    { name: 'C4', hz: 261.6256, shown: 'C4 +0 \u00a2' },
    // The octave number changes between B and C: C0 is 16.3516 Hz, B-1 a semitone below.
    { name: 'C0', hz: 16.3516, shown: 'C0 +0 \u00a2' },
    { name: 'B-1', hz: 15.4339, shown: 'B-1 +0 \u00a2' },
    // Both sides of halfway to the next note, up and down.
    { name: '+49.6 cents', hz: cents(49.6), shown: 'A4 +50 \u00a2' },
    { name: '+50.4 cents', hz: cents(50.4), shown: 'A#4 \u221250 \u00a2' },
    { name: '-49.6 cents', hz: cents(-49.6), shown: 'A4 \u221250 \u00a2' },
    { name: '-50.4 cents', hz: cents(-50.4), shown: 'G#4 +50 \u00a2' },
    // Rounding to the cent: 0.4 goes down to +0 (not -0), 0.6 up.
    { name: '+0.4 cents', hz: cents(0.4), shown: 'A4 +0 \u00a2' },
    { name: '-0.4 cents', hz: cents(-0.4), shown: 'A4 +0 \u00a2' },
    { name: '-0.6 cents', hz: cents(-0.6), shown: 'A4 \u22121 \u00a2' },
  ])('$name', ({ hz, shown }) => {
    expect(formatNote(noteOf(hz)!)).toBe(shown);
  });

  test('no note for what is not a frequency', () => {
    for (const hz of [0, -440, NaN, Infinity]) expect(noteOf(hz), String(hz)).toBeNull();
  });

  test('spoken in words', () => {
    const cases = [
      { hz: 445, words: 'A 4, 20 cents sharp' },
      { hz: 466.16, words: 'A sharp 4, in tune' },
      { hz: cents(-0.6), words: 'A 4, 1 cent flat' },
      { hz: cents(100 - 20), words: 'A sharp 4, 20 cents flat' },
    ];
    for (const c of cases) expect(spokenNote(noteOf(c.hz)!), String(c.hz)).toBe(c.words);
  });
});

describe('snap to the nearest note', () => {
  // A stored frequency starts with a whole period P >= 8 subsamples and sounds at 8 x 44100 / P Hz,
  // so the nearest sound to a note of f Hz has the whole P nearest 352800 / f.
  const nearest = (f: number) => 352800 / Math.round(352800 / f);
  test.each([
    { name: '445 Hz goes to A4', from: 445, note: 'A4', noteHz: 440 }, // 352800/440 = 801.8: P 802
    { name: '2205 Hz goes to C#7', from: 2205, note: 'C#7', noteHz: 2217.461 }, // 159.1: P 159
    { name: '100 Hz goes to G2', from: 100, note: 'G2', noteHz: 97.999 },
    // 44100 Hz is nearest F11 (44347 Hz), which the core cannot make: E11, whose nearest is P 8 again.
    { name: 'the highest pitch goes to E11', from: 44100, note: 'E11', noteHz: 41860.0 },
  ])('$name', ({ from, note, noteHz }) => {
    const snapped = snapToNote(quavix.freqForPitch(from))!;
    expect(snapped.note.name).toBe(note);
    expect(quavix.pitchOf(snapped.stored)).toBeCloseTo(nearest(noteHz), 6);
  });

  test('the lowest pitch goes to the note above it when the note below cannot be made', () => {
    // 3.528 Hz is nearest A-3 at 440 x 2^(-84/12) = 3.4375 Hz, below the core's 3.528 Hz: the note above, A#-3.
    const snapped = snapToNote(quavix.freqForPitch(3.528))!;
    expect(snapped.note.name).toBe('A#-3');
    const aSharp = 440 * 2 ** (-83 / 12);
    expect(Math.abs(1200 * Math.log2(quavix.pitchOf(snapped.stored) / aSharp))).toBeLessThan(1);
  });
});

describe('time axis ticks', () => {
  test.each([
    { seconds: 0.35, most: 8, step: 0.05, count: 8, last: 0.35, decimals: 2 },
    { seconds: 0.041, most: 4, step: 0.02, count: 3, last: 0.04, decimals: 2 }, // 0.01 would be 4.1 steps
    { seconds: 1, most: 5, step: 0.2, count: 6, last: 1, decimals: 1 }, // exactly 5 steps fit
    { seconds: 1.0001, most: 5, step: 0.5, count: 3, last: 1, decimals: 1 }, // just over: the next round step
    { seconds: 1, most: 4, step: 0.5, count: 3, last: 1, decimals: 1 },
    { seconds: 12, most: 5, step: 5, count: 3, last: 10, decimals: 0 },
    { seconds: 60, most: 6, step: 10, count: 7, last: 60, decimals: 0 },
  ])('$seconds s in at most $most steps', ({ seconds, most, step, count, last, decimals }) => {
    const axis = timeTicks(seconds, most);
    expect(axis.step).toBe(step);
    expect(axis.ticks.length).toBe(count);
    expect(axis.ticks[0]).toBe(0);
    expect(axis.ticks[count - 1]).toBe(last);
    expect(axis.decimals).toBe(decimals);
  });

  test('no ticks for no sound', () => {
    for (const seconds of [0, NaN, -1]) expect(timeTicks(seconds, 5).ticks, String(seconds)).toEqual([]);
  });
});
