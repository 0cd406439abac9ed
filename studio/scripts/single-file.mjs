// Joins the single-file build (dist-single/) into one HTML file with its
// script, styles, worker and core inlined: dist/quavix-studio.html, which
// works opened straight from disk.
import { readFileSync, writeFileSync, rmSync } from 'node:fs';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';

const root = fileURLToPath(new URL('..', import.meta.url));
const from = join(root, 'dist-single');
let html = readFileSync(join(from, 'index.html'), 'utf8');

html = html.replace(/<script type="module"[^>]*src="\.\/([^"]+)"[^>]*><\/script>/, (_, path) => {
  const code = readFileSync(join(from, path), 'utf8').replace(/<\/(script)/gi, '<\\/$1');
  return `<script type="module">${code}</script>`;
});
html = html.replace(/<link rel="stylesheet"[^>]*href="\.\/([^"]+)"[^>]*>/, (_, path) => `<style>${readFileSync(join(from, path), 'utf8')}</style>`);
if (/(?:src|href)="\.\/assets\//.test(html)) throw new Error('single-file: an asset is still linked');

const out = join(root, 'dist', 'quavix-studio.html');
writeFileSync(out, html);
rmSync(from, { recursive: true, force: true });
console.log(out);
