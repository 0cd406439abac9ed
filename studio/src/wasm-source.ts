// The core's WebAssembly bytes for the static folder: files beside the page.
import url from '@quavix-wasm?url';
import layersUrl from '@quavix-layers-wasm?url';

async function fetched(from: string, what: string): Promise<ArrayBuffer> {
  const response = await fetch(from);
  if (!response.ok) throw new Error(`cannot load ${what} (${response.status})`);
  return response.arrayBuffer();
}

export const wasmBytes = (): Promise<ArrayBuffer> => fetched(url, 'the core');

/** The module that mixes layered sounds. */
export const layersWasmBytes = (): Promise<ArrayBuffer> => fetched(layersUrl, 'the layers module');
