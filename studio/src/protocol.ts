// Messages between the page and the synthesis worker.

export interface RenderRequest {
  type: 'render';
  id: number;
  /** The exact parameters as settings-file bytes. */
  sfs: Uint8Array;
  renderState: number;
  bufferLength: number;
}

export type ToWorker = { type: 'init'; module: WebAssembly.Module } | RenderRequest;

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
  wave: Float32Array;
  spectrum: { frames: number; bins: number; db: Float32Array };
}

export type FromWorker =
  | { type: 'ready' }
  | Rendered
  | { type: 'failed'; id: number; message: string };
