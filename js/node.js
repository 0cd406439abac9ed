// quavix for Node: the package's API (index.js), with init() reading the
// module from the file system. Package users get this file through the
// "node" condition of the package's exports; node.cjs serves require().
import { readFile } from 'node:fs/promises';
import { fileURLToPath } from 'node:url';
import { init as initFrom, initLayers as initLayersFrom } from './index.js';

export * from './index.js';

// A file to read: a path, or a file: URL (as a URL or a string).
function fileOf(source, name) {
  if (source === undefined) return fileURLToPath(new URL(`./${name}`, import.meta.url));
  if (source instanceof URL) return source.protocol === 'file:' ? fileURLToPath(source) : null;
  if (typeof source !== 'string') return null;
  if (source.startsWith('file:')) return fileURLToPath(source);
  // http:, https:, data: and the like are fetched; a drive letter is a path
  return /^[a-z][a-z0-9+.-]+:/i.test(source) ? null : source;
}

// Loads a module with load(source) once, reading a file from disk.
function once(name, load) {
  let loading = null;
  return (source) => {
    if (loading === null) {
      const file = fileOf(source, name);
      const bytes = file === null ? source : readFile(file).catch((error) => {
        throw new Error(`quavix: cannot read the module from ${file}: ${error.message}`, { cause: error });
      });
      loading = load(bytes).catch((error) => {
        loading = null;
        throw error;
      });
    }
    return loading;
  };
}

/**
 * Loads the module once; later calls return the same promise (and ignore their
 * source). Without a source it is read from next to this file; a path or a
 * file: URL is read from disk, other URLs are fetched.
 */
export const init = once('quavix.wasm', initFrom);

/** Loads quavix-layers.wasm, the module of renderLayers(), once, as init() loads quavix.wasm. */
export const initLayers = once('quavix-layers.wasm', initLayersFrom);
