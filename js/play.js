// quavix/play: plays a WAV image of quavix.render() through the Web Audio API.
// A separate entry point, so that programs without Web Audio never load it.

let sharedContext = null;

/**
 * Plays a 16-bit mono WAV image (quavix.render(...).wav, or the render result
 * itself) on audioContext, or on one context this module makes and keeps.
 * Resolves to the started AudioBufferSourceNode (call .stop() to cut it).
 */
export async function play(wav, audioContext) {
  const bytes = wav instanceof Uint8Array ? wav : wav?.wav instanceof Uint8Array ? wav.wav
    : wav instanceof ArrayBuffer ? new Uint8Array(wav) : null;
  if (bytes === null || bytes.length < 44) throw new TypeError('quavix/play: expected a WAV image (Uint8Array)');
  const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
  const sampleRate = view.getUint32(24, true);
  const count = Math.min(view.getUint32(40, true), bytes.length - 44) >>> 1;
  const context = audioContext ?? (sharedContext ??= new AudioContext());
  if (context.state === 'suspended') await context.resume();
  const buffer = context.createBuffer(1, Math.max(count, 1), sampleRate);
  const channel = buffer.getChannelData(0);
  for (let i = 0; i < count; i++) channel[i] = view.getInt16(44 + 2 * i, true) / 32768;
  const source = context.createBufferSource();
  source.buffer = buffer;
  source.connect(context.destination);
  source.start();
  return source;
}
