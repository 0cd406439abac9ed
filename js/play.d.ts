import type { RenderResult } from './index.js';

/**
 * Plays a 16-bit mono WAV image (`render(...).wav`, or the render result itself)
 * through the Web Audio API, on `audioContext` or on one shared context made on
 * the first call. Resolves to the started source node (call `.stop()` to cut it).
 * Browsers allow sound only after a user gesture: call it from a click handler.
 */
export function play(wav: Uint8Array | ArrayBuffer | RenderResult, audioContext?: BaseAudioContext): Promise<AudioBufferSourceNode>;
