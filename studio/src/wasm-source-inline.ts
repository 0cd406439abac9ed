// The core's WebAssembly bytes for the single HTML file: inlined as base64.
import dataUrl from '@quavix-wasm?url'; // inlined as a data URL by the single-file build

export async function wasmBytes(): Promise<ArrayBuffer> {
  if (!dataUrl.startsWith('data:')) throw new Error('the core is not inlined in this build');
  const text = atob(dataUrl.slice(dataUrl.indexOf(',') + 1));
  const bytes = new Uint8Array(text.length);
  for (let i = 0; i < text.length; i++) bytes[i] = text.charCodeAt(i);
  return bytes.buffer;
}
