// Ogg Vorbis files, encoded by libvorbis compiled to WebAssembly (the
// wasm-media-encoders package) at quality 6 of 10, as the quavix tool encodes
// them. The encoder's module is a file beside the page, or inlined as a data
// URL in the single-file build; either way it is read here, never fetched as a
// data URL (the page's policy allows no connections).
import { createEncoder } from 'wasm-media-encoders';
import oggWasmUrl from 'wasm-media-encoders/wasm/ogg?url';

export const VORBIS_QUALITY = 6;
const CHUNK = 8192;

let module: Promise<WebAssembly.Module> | null = null;

async function encoderModule(): Promise<WebAssembly.Module> {
  let bytes: Uint8Array<ArrayBuffer>;
  if (oggWasmUrl.startsWith('data:')) {
    const text = atob(oggWasmUrl.slice(oggWasmUrl.indexOf(',') + 1));
    bytes = new Uint8Array(text.length);
    for (let i = 0; i < text.length; i++) bytes[i] = text.charCodeAt(i);
  } else {
    const response = await fetch(oggWasmUrl);
    if (!response.ok) throw new Error(`cannot load the Ogg Vorbis encoder (${response.status})`);
    bytes = new Uint8Array(await response.arrayBuffer());
  }
  return WebAssembly.compile(bytes);
}

/** A serial number for the Ogg stream, derived from the samples (FNV-1a of their bits), so a sound always gives the same file. */
export function serialOf(samples: Float32Array): number {
  const words = new Uint32Array(samples.buffer, samples.byteOffset, samples.length);
  let hash = 0x811c9dc5;
  for (const w of words) {
    for (let b = 0; b < 32; b += 8) hash = Math.imul(hash ^ ((w >>> b) & 0xff), 0x01000193) >>> 0;
  }
  return hash | 0;
}

export async function oggFile(samples: Float32Array, rate: number): Promise<Uint8Array> {
  module ??= encoderModule();
  const encoder = await createEncoder('audio/ogg', await module);
  encoder.configure({ channels: 1, sampleRate: rate, vbrQuality: VORBIS_QUALITY, oggSerialNo: serialOf(samples) });
  const parts: Uint8Array[] = [];
  for (let start = 0; start < samples.length; start += CHUNK) {
    parts.push(encoder.encode([samples.subarray(start, start + CHUNK)]).slice());
  }
  parts.push(encoder.finalize().slice());
  const out = new Uint8Array(parts.reduce((n, p) => n + p.length, 0));
  let at = 0;
  for (const p of parts) {
    out.set(p, at);
    at += p.length;
  }
  return out;
}

/**
 * What a player decodes from an Ogg file of `frames` frames (the browser's own decoder), or null where it
 * cannot, or gives back another number of frames (Chromium's leaves out some of a short file's frames).
 */
export async function decodeOgg(bytes: Uint8Array, rate: number, frames: number): Promise<Float32Array | null> {
  try {
    const context = new OfflineAudioContext(1, 1, rate);
    const audio = await context.decodeAudioData(bytes.slice().buffer);
    return audio.sampleRate === rate && audio.length === frames ? audio.getChannelData(0).slice() : null;
  } catch {
    return null;
  }
}
