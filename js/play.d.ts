import type { RenderResult } from './index.js';

/** A WAV image: `render(...).wav`, its bytes, or the render result itself. */
export type WavSource = Uint8Array | ArrayBuffer | RenderResult;

/** The sample rates a WAV image may have here: those every Web Audio implementation takes. */
export const LOWEST_RATE: 8000;
export const HIGHEST_RATE: 96000;

/**
 * The samples of a 16-bit mono PCM WAV image with a 44-byte header. Throws a
 * TypeError for other data and a RangeError for a sample rate outside
 * 8000..96000 Hz, naming the field.
 */
export function readWav(wav: WavSource, where?: string): { sampleRate: number; samples: Int16Array };

/** An AudioBuffer of the WAV image on context (one silent sample for an empty sound). */
export function wavToAudioBuffer(context: BaseAudioContext, wav: WavSource, where?: string): AudioBuffer;

/**
 * Plays a 16-bit mono WAV image (`render(...).wav`, or the render result itself)
 * through the Web Audio API, on `audioContext` or on one shared context made on
 * the first call. Resolves to the started source node (call `.stop()` to cut it).
 * Browsers allow sound only after a user gesture: call it from a click handler.
 * Bad data is refused as readWav refuses it.
 */
export function play(wav: WavSource, audioContext?: BaseAudioContext): Promise<AudioBufferSourceNode>;
