import { defineConfig } from 'vite';
import { fileURLToPath } from 'node:url';

// `vite build` makes the static folder (dist/); `vite build --mode single`
// makes the one-file build's parts (dist-single/), which scripts/single-file.mjs joins.
export default defineConfig(({ mode }) => {
  const single = mode === 'single';
  const here = (path: string) => fileURLToPath(new URL(path, import.meta.url));
  // The quavix package, used from its source folder.
  const js = process.env.QUAVIX_JS ?? here('../js');
  return {
    base: './',
    resolve: {
      alias: [
        { find: /^quavix$/, replacement: `${js}/index.js` },
        { find: /^@quavix-wasm/, replacement: `${js}/quavix.wasm` },
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
