// Number and text formatting shared by the views and the exports.

/** The shortest decimal text that reads back (decimal -> double -> float) as the same float. */
export function formatFloat32(value: number): string {
  const f = Math.fround(value);
  if (Number.isNaN(f)) return 'nan';
  if (!Number.isFinite(f)) return f > 0 ? 'inf' : '-inf';
  if (Object.is(f, -0)) return '-0';
  for (let digits = 1; digits <= 9; digits++) {
    const text = trimExponent(f.toPrecision(digits));
    if (Math.fround(Number(text)) === f) return text;
  }
  return String(f);
}

// Plain decimal digits without an exponent, which every reader of numbers takes.
function trimExponent(text: string): string {
  const n = Number(text);
  const [mantissa, exponent = '0'] = n.toExponential().split('e');
  const decimals = (mantissa.split('.')[1] ?? '').length - Number(exponent);
  return n.toFixed(Math.min(100, Math.max(0, decimals)));
}

/** The float's 32-bit pattern. */
export function floatBits(value: number): number {
  const view = new DataView(new ArrayBuffer(4));
  view.setFloat32(0, value);
  return view.getUint32(0);
}

/** Quotes a word for a POSIX shell when it needs it. */
export function shellQuote(word: string): string {
  return /^[A-Za-z0-9_@%+=:,./-]+$/.test(word) ? word : `'${word.replace(/'/g, `'\\''`)}'`;
}

/** A seed as the host's 32-bit whole number parameter shows it. */
export function signedSeed(seed: number): number {
  return seed | 0;
}

export function formatSeconds(seconds: number): string {
  return seconds < 10 ? seconds.toFixed(3) : seconds.toFixed(2);
}

export function hex(bytes: Uint8Array): string {
  let text = '';
  for (const b of bytes) text += b.toString(16).padStart(2, '0');
  return text;
}

export function fromHex(text: string): Uint8Array | null {
  if (!/^(?:[0-9a-fA-F]{2})*$/.test(text)) return null;
  const bytes = new Uint8Array(text.length / 2);
  for (let i = 0; i < bytes.length; i++) bytes[i] = parseInt(text.slice(2 * i, 2 * i + 2), 16);
  return bytes;
}

/** The longest file name (in characters, before its extension) that a download is given. */
export const MAX_FILE_NAME = 80;

/** What no file name may hold somewhere: controls, direction marks, lone halves of a pair, and / \ : * ? " < > |. */
const NOT_IN_FILE_NAMES = /[\p{Cc}\p{Cs}\u200e\u200f\u202a-\u202e\u2066-\u2069/\\:*?"<>|]/gu;

/** Windows takes a file for a device when the part before its first dot, less trailing spaces, is one of these. */
const DEVICE = /^(?:con|prn|aux|nul|com[1-9]|lpt[1-9])$/i;

/**
 * A file name (before its extension) after a sound's name that every system takes: the characters none may hold
 * become _, spaces in a row one space, cut to MAX_FILE_NAME characters, no dot or space at either end, a Windows
 * device name followed by _; `fallback` when nothing of the name is left.
 */
export function fileNameOf(name: string, fallback: string): string {
  const safe = name.replace(/\s+/g, ' ').replace(NOT_IN_FILE_NAMES, '_');
  const cut = Array.from(safe).slice(0, MAX_FILE_NAME).join('');
  const trimmed = cut.replace(/^[ .]+|[ .]+$/g, '');
  if (!/[^_ .]/.test(trimmed)) return fallback;
  const device = trimmed.split('.')[0].replace(/ +$/, '');
  if (!DEVICE.test(device)) return trimmed;
  const marked = Array.from(`${device}_${trimmed.slice(device.length)}`)
    .slice(0, MAX_FILE_NAME)
    .join('');
  return marked.replace(/[ .]+$/, '');
}

/** A name as a message shows it: at most 40 characters, then "...". */
export const shortName = (name: string): string =>
  Array.from(name).length > 40 ? `${Array.from(name).slice(0, 40).join('')}...` : name;
