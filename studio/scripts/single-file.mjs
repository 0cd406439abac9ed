// Joins the single-file build (dist-single/) into one HTML file with its
// script, styles, worker and core inlined: dist/quavix-studio.html, which
// works opened straight from disk.
// Usage: node scripts/single-file.mjs (after both builds; `npm run build` runs it).
import { createHash } from 'node:crypto';
import { readFileSync, writeFileSync, rmSync } from 'node:fs';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';

/** The single file's name, beside the static folder's page in dist/. */
export const SINGLE_FILE = 'quavix-studio.html';

/** A policy's source for an inline script or style of this text: its SHA-256. */
export const hashSource = (body) => `'sha256-${createHash('sha256').update(body, 'utf8').digest('base64')}'`;

const root = fileURLToPath(new URL('..', import.meta.url));
if (process.argv[1] === fileURLToPath(import.meta.url)) joinSingleFile();

function joinSingleFile() {
  const from = join(root, 'dist-single');
  let html = readFileSync(join(from, 'index.html'), 'utf8');

  html = html.replace(/<script type="module"[^>]*src="\.\/([^"]+)"[^>]*><\/script>/, (_, path) => {
    const code = readFileSync(join(from, path), 'utf8').replace(/<\/(script)/gi, '<\\/$1');
    return `<script type="module">${code}</script>`;
  });
  html = html.replace(
    /<link rel="stylesheet"[^>]*href="\.\/([^"]+)"[^>]*>/,
    (_, path) => `<style>${readFileSync(join(from, path), 'utf8')}</style>`,
  );
  if (/(?:src|href)="\.\/assets\//.test(html)) throw new Error('single-file: an asset is still linked');

  // The page's policy allows exactly its own inlined script and styles, by their hashes: no inline code
  // besides them, and no script from data: or blob: URLs (the render worker is a worker, from blob:).
  const hashes = (tag) =>
    [...html.matchAll(new RegExp(`<${tag}(?: [^>]*)?>([\\s\\S]*?)</${tag}>`, 'g'))]
      .map(([, body]) => hashSource(body))
      .join(' ');
  const policy =
    `default-src 'none'; script-src ${hashes('script')} 'wasm-unsafe-eval'; worker-src blob:; ` +
    `style-src ${hashes('style')}; img-src data:; object-src 'none'; base-uri 'none'; form-action 'none'`;
  const before = html;
  html = html.replace(
    /<meta\s+http-equiv="Content-Security-Policy"\s+content="[^"]*"\s*\/?>/,
    `<meta http-equiv="Content-Security-Policy" content="${policy}" />`,
  );
  if (html === before) throw new Error('single-file: no Content-Security-Policy to replace');

  const out = join(root, 'dist', SINGLE_FILE);
  writeFileSync(out, html);
  rmSync(from, { recursive: true, force: true });
  console.log(out);
}
