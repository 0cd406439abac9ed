// Mono FLAC files of 8, 16 or 24-bit samples: frames of 4096 samples, each
// channel coded with the best of the fixed predictors of order 0 to 4 (Rice
// coded residuals, one partition) or stored verbatim when that is smaller.
// The stream's MD5 signature is left 0, which the format reads as unknown.

const BLOCK = 4096;

class BitWriter {
  bytes: number[] = [];
  private acc = 0;
  private count = 0;

  /** The low `n` bits of `value` (n up to 32), most significant first. */
  write(value: number, n: number): void {
    for (let i = n - 1; i >= 0; i--) {
      this.acc = (this.acc << 1) | (Math.floor(value / 2 ** i) & 1);
      if (++this.count === 8) {
        this.bytes.push(this.acc);
        this.acc = 0;
        this.count = 0;
      }
    }
  }

  /** A signed value in n bits, two's complement. */
  writeSigned(value: number, n: number): void {
    this.write(value < 0 ? value + 2 ** n : value, n);
  }

  unary(zeros: number): void {
    for (let i = 0; i < zeros; i++) this.write(0, 1);
    this.write(1, 1);
  }

  align(): void {
    if (this.count > 0) this.write(0, 8 - this.count);
  }
}

function crc8(bytes: number[], from: number): number {
  let crc = 0;
  for (let i = from; i < bytes.length; i++) {
    crc ^= bytes[i];
    for (let b = 0; b < 8; b++) crc = crc & 0x80 ? ((crc << 1) ^ 0x07) & 0xff : (crc << 1) & 0xff;
  }
  return crc;
}

function crc16(bytes: number[], from: number): number {
  let crc = 0;
  for (let i = from; i < bytes.length; i++) {
    crc ^= bytes[i] << 8;
    for (let b = 0; b < 8; b++) crc = crc & 0x8000 ? ((crc << 1) ^ 0x8005) & 0xffff : (crc << 1) & 0xffff;
  }
  return crc;
}

/** The frame number in the format's UTF-8-like coding. */
function frameNumber(w: BitWriter, n: number): void {
  if (n < 0x80) return w.write(n, 8);
  const bits = Math.floor(Math.log2(n)) + 1;
  let extra = 1;
  while (6 * extra + (6 - extra) < bits) extra++;
  w.write(((0xff00 >> (extra + 1)) & 0xff) | Math.floor(n / 2 ** (6 * extra)), 8);
  for (let i = extra - 1; i >= 0; i--) w.write(0x80 | (Math.floor(n / 2 ** (6 * i)) & 0x3f), 8);
}

/** The residual of the fixed predictor of an order (the first `order` samples are kept as they are). */
function residual(x: Int32Array, order: number): number[] {
  const out: number[] = [];
  for (let i = order; i < x.length; i++) {
    const r =
      order === 0
        ? x[i]
        : order === 1
          ? x[i] - x[i - 1]
          : order === 2
            ? x[i] - 2 * x[i - 1] + x[i - 2]
            : order === 3
              ? x[i] - 3 * x[i - 1] + 3 * x[i - 2] - x[i - 3]
              : x[i] - 4 * x[i - 1] + 6 * x[i - 2] - 4 * x[i - 3] + x[i - 4];
    out.push(r);
  }
  return out;
}

const zigzag = (r: number): number => (r >= 0 ? 2 * r : -2 * r - 1);

/** The Rice parameter (0 to 14) that codes the residual in the fewest bits, and that count. */
function bestRice(res: number[]): { k: number; bits: number } {
  let best = { k: 0, bits: Infinity };
  for (let k = 0; k <= 14; k++) {
    let bits = 0;
    for (const r of res) bits += Math.floor(zigzag(r) / 2 ** k) + 1 + k;
    if (bits < best.bits) best = { k, bits };
  }
  return best;
}

function subframe(w: BitWriter, x: Int32Array, bps: number): void {
  let choice = { order: -1, k: 0, bits: x.length * bps };
  let res: number[] = [];
  for (let order = 0; order <= 4 && order < x.length; order++) {
    const r = residual(x, order);
    const rice = bestRice(r);
    const bits = order * bps + 6 + rice.bits;
    if (bits < choice.bits) {
      choice = { order, k: rice.k, bits };
      res = r;
    }
  }
  w.write(0, 1);
  if (choice.order < 0) {
    w.write(0b000001, 6);
    w.write(0, 1);
    for (const v of x) w.writeSigned(v, bps);
    return;
  }
  w.write(0b001000 | choice.order, 6);
  w.write(0, 1);
  for (let i = 0; i < choice.order; i++) w.writeSigned(x[i], bps);
  w.write(0, 2); // Rice coding with 4-bit parameters
  w.write(0, 4); // one partition
  w.write(choice.k, 4);
  for (const r of res) {
    const z = zigzag(r);
    w.unary(Math.floor(z / 2 ** choice.k));
    w.write(z % 2 ** choice.k, choice.k);
  }
}

const SAMPLE_SIZE_CODE: Record<number, number> = { 8: 0b001, 16: 0b100, 24: 0b110 };

export function flacFile(values: Int32Array, rate: number, bits: 8 | 16 | 24): Uint8Array {
  const w = new BitWriter();
  w.write(0x664c6143, 32); // "fLaC"
  w.write(1, 1); // last metadata block
  w.write(0, 7); // STREAMINFO
  w.write(34, 24);
  const blockSize = Math.max(16, Math.min(BLOCK, values.length));
  w.write(blockSize, 16);
  w.write(blockSize, 16);
  w.write(0, 24); // frame sizes unknown
  w.write(0, 24);
  w.write(rate, 20);
  w.write(0, 3); // one channel
  w.write(bits - 1, 5);
  w.write(values.length, 36);
  w.write(0, 64); // MD5 unknown
  w.write(0, 64);
  for (let start = 0, n = 0; start < values.length; start += BLOCK, n++) {
    const block = values.subarray(start, Math.min(values.length, start + BLOCK));
    const from = w.bytes.length;
    w.write(0b11111111111110, 14);
    w.write(0, 1);
    w.write(0, 1); // fixed block size
    w.write(0b0111, 4); // block size - 1 in 16 bits after the header
    w.write(0b0000, 4); // rate from STREAMINFO
    w.write(0b0000, 4); // mono
    w.write(SAMPLE_SIZE_CODE[bits], 3);
    w.write(0, 1);
    frameNumber(w, n);
    w.write(block.length - 1, 16);
    w.write(crc8(w.bytes, from), 8);
    subframe(w, block, bits);
    w.align();
    w.write(crc16(w.bytes, from), 16);
  }
  return Uint8Array.from(w.bytes);
}
