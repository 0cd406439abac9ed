// Messages between the page and the synthesis worker.

export interface RenderRequest {
  type: 'render';
  id: number;
  /** The exact parameters as settings-file bytes. */
  sfs: Uint8Array;
  renderState: number;
  bufferLength: number;
}

export type ToWorker =
  | { type: 'init'; module: WebAssembly.Module }
  | RenderRequest
  /** The views of the last sound, asked for once the page has taken it. */
  | { type: 'views'; id: number };

export interface Rendered {
  type: 'rendered';
  id: number;
  wav: Uint8Array;
  /** The samples as -1..1 floats for the audio output. */
  audio: Float32Array;
  sampleCount: number;
  peak: number;
  clipped: number;
  silent: boolean;
  sha256: string;
  /** The whole sound's sample count without the buffer's limit; null when even 60 s cut it. */
  whole: number | null;
  /** Milliseconds the worker spent on the synthesis and the fingerprint. */
  timings: { synthesis: number; hash: number };
}

/** What the views draw, sent after the sound so that playback does not wait for it. */
export interface Views {
  type: 'views';
  id: number;
  wave: Float32Array;
  spectrum: { frames: number; bins: number; db: Float32Array };
}

export type FromWorker =
  | { type: 'ready' }
  /** The worker could not start the core. */
  | { type: 'broken'; message: string }
  | Rendered
  | Views
  | { type: 'failed'; id: number; message: string };
