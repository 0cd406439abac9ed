import { defineConfig, type Plugin } from 'vite';
import { fileURLToPath } from 'node:url';
import { hashSource, SINGLE_FILE } from './scripts/single-file.mjs';
import { sayOpenTheSingleFile } from './src/from-disk';

/**
 * The static folder's page gets a small inline script that, opened from disk, says to open the single file; the
 * page's policy allows exactly that script, by its hash.
 */
function fromDiskNote(): Plugin {
  return {
    name: 'quavix-from-disk-note',
    transformIndexHtml(html) {
      const code = `(${sayOpenTheSingleFile.toString()})(${JSON.stringify(SINGLE_FILE)});`;
      const policy = /(<meta\s+http-equiv="Content-Security-Policy"\s+content="[^"]*script-src 'self')/;
      if (!policy.test(html)) throw new Error("index.html: no policy with script-src 'self' to add the note's hash to");
      return html.replace(policy, `$1 ${hashSource(code)}`).replace('</body>', `<script>${code}</script>\n  </body>`);
    },
  };
}

// `vite build` makes the static folder (dist/); `vite build --mode single`
// makes the one-file build's parts (dist-single/), which scripts/single-file.mjs joins.
export default defineConfig(({ mode }) => {
  const single = mode === 'single';
  const here = (path: string) => fileURLToPath(new URL(path, import.meta.url));
  // The quavix package, used from its source folder.
  const js = process.env.QUAVIX_JS ?? here('../js');
  return {
    base: './',
    plugins: single ? [] : [fromDiskNote()],
    resolve: {
      alias: [
        { find: /^quavix$/, replacement: `${js}/index.js` },
        { find: /^@quavix-wasm/, replacement: `${js}/quavix.wasm` },
        { find: /^@quavix-layers-wasm/, replacement: `${js}/quavix-layers.wasm` },
        ...(single ? [{ find: './wasm-source', replacement: here('./src/wasm-source-inline.ts') }] : []),
      ],
    },
    worker: { format: 'iife' },
    build: {
      outDir: single ? 'dist-single' : 'dist',
      emptyOutDir: true,
      target: 'es2022',
      assetsInlineLimit: single ? Number.MAX_SAFE_INTEGER : 0,
      cssCodeSplit: false,
      modulePreload: false,
      rollupOptions: single ? { output: { inlineDynamicImports: true } } : {},
    },
  };
});
