// Mono WAV files: 8-bit unsigned, 16- and 24-bit signed integers (format 1,
// PCM) or 32-bit float (format 3, with the fact chunk that non-PCM data needs).
import { bitCount, type SampleBits } from './sample-format';

export function wavFile(values: Int32Array | Float32Array, rate: number, bits: SampleBits): Uint8Array {
  const float = bits === '32f';
  const width = bitCount(bits) / 8;
  const fmtSize = float ? 18 : 16;
  const factSize = float ? 12 : 0;
  const dataSize = values.length * width;
  const pad = dataSize % 2;
  const header = 12 + 8 + fmtSize + factSize + 8;
  const bytes = new Uint8Array(header + dataSize + pad);
  const view = new DataView(bytes.buffer);
  const text = (at: number, s: string) => {
    for (let i = 0; i < s.length; i++) bytes[at + i] = s.charCodeAt(i);
  };
  text(0, 'RIFF');
  view.setUint32(4, bytes.length - 8, true);
  text(8, 'WAVE');
  text(12, 'fmt ');
  view.setUint32(16, fmtSize, true);
  view.setUint16(20, float ? 3 : 1, true);
  view.setUint16(22, 1, true);
  view.setUint32(24, rate, true);
  view.setUint32(28, rate * width, true);
  view.setUint16(32, width, true);
  view.setUint16(34, width * 8, true);
  let at = 36;
  if (float) {
    view.setUint16(at, 0, true);
    text(at + 2, 'fact');
    view.setUint32(at + 6, 4, true);
    view.setUint32(at + 10, values.length, true);
    at += 14;
  }
  text(at, 'data');
  view.setUint32(at + 4, dataSize, true);
  at += 8;
  for (let i = 0; i < values.length; i++, at += width) {
    const v = values[i];
    if (float) view.setFloat32(at, v, true);
    else if (width === 1) bytes[at] = v + 128;
    else if (width === 2) view.setInt16(at, v, true);
    else {
      bytes[at] = v & 0xff;
      bytes[at + 1] = (v >> 8) & 0xff;
      bytes[at + 2] = (v >> 16) & 0xff;
    }
  }
  return bytes;
}
