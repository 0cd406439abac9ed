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
