// The core's WebAssembly bytes for the single HTML file: inlined as base64.
import dataUrl from '@quavix-wasm?url'; // inlined as a data URL by the single-file build
import layersDataUrl from '@quavix-layers-wasm?url';

function decoded(url: string, what: string): ArrayBuffer {
  if (!url.startsWith('data:')) throw new Error(`${what} is not inlined in this build`);
  const text = atob(url.slice(url.indexOf(',') + 1));
  const bytes = new Uint8Array(text.length);
  for (let i = 0; i < text.length; i++) bytes[i] = text.charCodeAt(i);
  return bytes.buffer;
}

export async function wasmBytes(): Promise<ArrayBuffer> {
  return decoded(dataUrl, 'the core');
}

/** The module that mixes layered sounds. */
export async function layersWasmBytes(): Promise<ArrayBuffer> {
  return decoded(layersDataUrl, 'the layers module');
}
