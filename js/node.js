// quavix for Node: the package's API (index.js), with init() reading the
// module from the file system. Package users get this file through the
// "node" condition of the package's exports; node.cjs serves require().
import { readFile } from 'node:fs/promises';
import { fileURLToPath } from 'node:url';
import { init as initFrom } from './index.js';

export * from './index.js';

// A file to read: a path, or a file: URL (as a URL or a string).
function fileOf(source) {
  if (source === undefined) return fileURLToPath(new URL('./quavix.wasm', import.meta.url));
  if (source instanceof URL) return source.protocol === 'file:' ? fileURLToPath(source) : null;
  if (typeof source !== 'string') return null;
  if (source.startsWith('file:')) return fileURLToPath(source);
  // http:, https:, data: and the like are fetched; a drive letter is a path
  return /^[a-z][a-z0-9+.-]+:/i.test(source) ? null : source;
}

let loading = null;

/**
 * Loads the module once; later calls return the same promise (and ignore their
 * source). Without a source it is read from next to this file; a path or a
 * file: URL is read from disk, other URLs are fetched.
 */
export function init(source) {
  if (loading === null) {
    const file = fileOf(source);
    const bytes = file === null ? source : readFile(file).catch((error) => {
      throw new Error(`quavix: cannot read the module from ${file}: ${error.message}`, { cause: error });
    });
    loading = initFrom(bytes).catch((error) => {
      loading = null;
      throw error;
    });
  }
  return loading;
}
