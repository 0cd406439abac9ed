// The core's WebAssembly bytes for the static folder: a file beside the page.
import url from '@quavix-wasm?url';

export async function wasmBytes(): Promise<ArrayBuffer> {
  const response = await fetch(url);
  if (!response.ok) throw new Error(`cannot load the core (${response.status})`);
  return response.arrayBuffer();
}
