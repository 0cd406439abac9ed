// Pitch as music: the note nearest a frequency (A4 = 440 Hz, equal
// temperament) with the cents from it, and the stored frequency that sounds
// nearest a note, through the core's own pitch conversions.
import * as quavix from 'quavix';

const NAMES = ['C', 'C#', 'D', 'D#', 'E', 'F', 'F#', 'G', 'G#', 'A', 'A#', 'B'];
const SPOKEN = ['C', 'C sharp', 'D', 'D sharp', 'E', 'F', 'F sharp', 'G', 'G sharp', 'A', 'A sharp', 'B'];
const A4 = 69;

export interface Note {
  /** The note's number, 69 for A4, 60 for C4. */
  number: number;
  /** As in A#4. */
  name: string;
  /** -50..50: how far the frequency is above (+) or below the note. */
  cents: number;
}

function nameOf(number: number, names: string[], gap = ''): string {
  return `${names[((number % 12) + 12) % 12]}${gap}${Math.floor(number / 12) - 1}`;
}

/** The note nearest `hz`; a frequency halfway between two notes goes to the upper one. Null for no frequency. */
export function noteOf(hz: number): Note | null {
  if (!(hz > 0) || !Number.isFinite(hz)) return null;
  const exact = A4 + 12 * Math.log2(hz / 440);
  const number = Math.round(exact);
  const cents = Math.round(100 * (exact - number)) || 0;
  return { number, name: nameOf(number, NAMES), cents };
}

/** The frequency of a note. */
export function noteHz(number: number): number {
  return 440 * 2 ** ((number - A4) / 12);
}

/** As shown: "A4 +3 ¢", "C#5 −12 ¢". */
export function formatNote(note: Note): string {
  return `${note.name} ${note.cents < 0 ? '\u2212' : '+'}${Math.abs(note.cents)} \u00a2`;
}

/** As a screen reader says it: "A sharp 4, 12 cents flat" (the name alone with `cents` false). */
export function spokenNote(note: Note, withCents = true): string {
  const name = nameOf(note.number, SPOKEN, ' ');
  if (!withCents) return name;
  const off = Math.abs(note.cents);
  const cents =
    note.cents === 0 ? 'in tune' : `${off} ${off === 1 ? 'cent' : 'cents'} ${note.cents > 0 ? 'sharp' : 'flat'}`;
  return `${name}, ${cents}`;
}

/**
 * The stored frequency that sounds nearest the note nearest the sound of `stored`, and that note;
 * a note outside the frequencies the core can make gives way to its neighbour inside them.
 */
export function snapToNote(stored: number): { stored: number; note: Note } | null {
  const near = noteOf(quavix.pitchOf(stored));
  if (!near) return null;
  for (const number of [near.number, near.number - 1, near.number + 1]) {
    try {
      return { stored: quavix.freqForPitch(noteHz(number)), note: { number, name: nameOf(number, NAMES), cents: 0 } };
    } catch (e) {
      if (!(e instanceof RangeError)) throw e;
    }
  }
  return null;
}
