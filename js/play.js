// quavix/play: plays a WAV image of quavix.render() through the Web Audio API.
// A separate entry point, so that programs without Web Audio never load it.

let sharedContext = null;

// Sample rates every Web Audio implementation takes for a buffer.
export const LOWEST_RATE = 8000;
export const HIGHEST_RATE = 96000;

const HEADER = 44;
const tag = (view, at) => String.fromCharCode(view.getUint8(at), view.getUint8(at + 1), view.getUint8(at + 2), view.getUint8(at + 3));

/**
 * The samples of a 16-bit mono PCM WAV image with a 44-byte header (what
 * quavix.render() makes): { sampleRate, samples (Int16Array copy) }. Throws a
 * TypeError for another kind of data and a RangeError for a sample rate
 * outside 8000..96000 Hz, naming the field.
 */
export function readWav(wav, where = 'quavix/play') {
  const bytes = wav instanceof Uint8Array ? wav : wav?.wav instanceof Uint8Array ? wav.wav
    : wav instanceof ArrayBuffer ? new Uint8Array(wav) : null;
  if (bytes === null) throw new TypeError(`${where}: expected a WAV image (Uint8Array) or a render result`);
  if (bytes.length < HEADER) throw new TypeError(`${where}: a WAV image of ${bytes.length} bytes is shorter than its 44-byte header`);
  const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
  if (tag(view, 0) !== 'RIFF' || tag(view, 8) !== 'WAVE' || tag(view, 12) !== 'fmt ' || tag(view, 36) !== 'data') {
    throw new TypeError(`${where}: not a WAV image with a 44-byte header (RIFF, WAVE, fmt , data)`);
  }
  const format = view.getUint16(20, true);
  const channels = view.getUint16(22, true);
  const bits = view.getUint16(34, true);
  if (format !== 1 || channels !== 1 || bits !== 16) {
    throw new TypeError(`${where}: the WAV image is format ${format}, ${channels} channels, ${bits} bits; only 16-bit mono PCM (format 1) plays`);
  }
  const sampleRate = view.getUint32(24, true);
  if (sampleRate < LOWEST_RATE || sampleRate > HIGHEST_RATE) {
    throw new RangeError(`${where}: the WAV image's sample rate ${sampleRate} Hz is outside ${LOWEST_RATE} to ${HIGHEST_RATE} Hz`);
  }
  const count = Math.min(view.getUint32(40, true), bytes.length - HEADER) >>> 1;
  const samples = new Int16Array(count);
  for (let i = 0; i < count; i++) samples[i] = view.getInt16(HEADER + 2 * i, true);
  return { sampleRate, samples };
}

/** An AudioBuffer of the WAV image (or render result) on context; one silent sample for an empty sound. */
export function wavToAudioBuffer(context, wav, where = 'quavix/play') {
  const { sampleRate, samples } = readWav(wav, where);
  const buffer = context.createBuffer(1, Math.max(samples.length, 1), sampleRate);
  const channel = buffer.getChannelData(0);
  for (let i = 0; i < samples.length; i++) channel[i] = samples[i] / 32768;
  return buffer;
}

/**
 * Plays a 16-bit mono WAV image (quavix.render(...).wav, or the render result
 * itself) on audioContext, or on one context this module makes and keeps.
 * Resolves to the started AudioBufferSourceNode (call .stop() to cut it).
 */
export async function play(wav, audioContext) {
  readWav(wav); // refuses bad data before a context is made
  const context = audioContext ?? (sharedContext ??= new AudioContext());
  if (context.state === 'suspended') await context.resume();
  const source = context.createBufferSource();
  source.buffer = wavToAudioBuffer(context, wav);
  source.connect(context.destination);
  source.start();
  return source;
}
