// Serves the static folder (dist/) on http://127.0.0.1:PORT until stopped, to
// this machine only. Any request path is answered (400 for one no file can
// have, 404 for no file in the folder) and nothing outside the folder is ever
// read; every answer carries a policy and the headers that keep other pages
// from framing, sniffing or learning where a link came from.
// Usage: node scripts/serve.mjs [PORT]   (0 picks a free port)
import { createServer } from 'node:http';
import { readFile, realpath } from 'node:fs/promises';
import { extname, resolve, sep } from 'node:path';
import { fileURLToPath } from 'node:url';

const TYPES = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript',
  '.css': 'text/css',
  '.wasm': 'application/wasm',
  '.png': 'image/png',
  '.svg': 'image/svg+xml',
};

/** The longest request path answered; no file of the folder has one near it. */
export const MAX_PATH = 1024;

/** What anything but a page may do: nothing, and no page may frame it. */
const NOTHING = "default-src 'none'; frame-ancestors 'none'; base-uri 'none'; form-action 'none'";

/** A page's policy: the one its own meta element holds, and frame-ancestors 'none', which only a header can set. */
export function pagePolicy(html) {
  const meta = html.match(/<meta\s+http-equiv="Content-Security-Policy"\s+content="([^"]*)"/i);
  return meta ? `${meta[1].trim().replace(/;$/, '')}; frame-ancestors 'none'` : NOTHING;
}

/**
 * The file that a request's target names in `root` (a real path, with no trailing separator), or the status that
 * answers it: 400 for a target that no file can have (no path, a bad % escape or one that is not UTF-8, a NUL,
 * too long), 404 for one outside the folder.
 */
export function fileFor(root, target) {
  if (typeof target !== 'string' || !target.startsWith('/') || target.length > MAX_PATH) return 400;
  let path;
  try {
    path = decodeURIComponent(target.replace(/[?#].*$/s, ''));
  } catch {
    return 400;
  }
  if (path.includes('\0')) return 400;
  const file = resolve(root, `.${path}${path.endsWith('/') ? 'index.html' : ''}`);
  return file.startsWith(root + sep) ? file : 404;
}

const HEADERS = {
  'x-content-type-options': 'nosniff',
  'referrer-policy': 'no-referrer',
  'cross-origin-resource-policy': 'same-origin',
  'cache-control': 'no-store',
};

function answer(response, status, body, type = 'text/plain; charset=utf-8', policy = NOTHING) {
  response.writeHead(status, { ...HEADERS, 'content-type': type, 'content-security-policy': policy });
  response.end(body);
}

const WORDS = { 400: 'bad request', 404: 'not found', 405: 'only GET and HEAD are answered', 421: 'not this server' };

export async function serve(folder, port = 0) {
  const root = await realpath(folder);
  const server = createServer(async (request, response) => {
    try {
      if (request.method !== 'GET' && request.method !== 'HEAD') {
        response.setHeader('allow', 'GET, HEAD');
        return answer(response, 405, WORDS[405]);
      }
      // Another name that leads here (a page's own host name pointed at this machine) is not this server.
      const host = request.headers.host ?? '';
      const { port: own } = server.address();
      if (![`127.0.0.1:${own}`, `localhost:${own}`].includes(host.toLowerCase()))
        return answer(response, 421, WORDS[421]);
      const file = fileFor(root, request.url);
      if (typeof file === 'number') return answer(response, file, WORDS[file]);
      let real;
      let body;
      try {
        // A link in the folder leading out of it is not followed.
        real = await realpath(file);
        if (!real.startsWith(root + sep)) return answer(response, 404, WORDS[404]);
        body = await readFile(real);
      } catch {
        return answer(response, 404, WORDS[404]);
      }
      const type = TYPES[extname(real)] ?? 'application/octet-stream';
      answer(response, 200, body, type, type.startsWith('text/html') ? pagePolicy(body.toString('utf8')) : NOTHING);
    } catch {
      if (!response.headersSent) answer(response, 500, 'the server could not answer');
      else response.destroy();
    }
  });
  return new Promise((done, reject) => {
    server.once('error', reject);
    server.listen(port, '127.0.0.1', () => done({ server, url: `http://127.0.0.1:${server.address().port}/` }));
  });
}

if (process.argv[1] === fileURLToPath(import.meta.url)) {
  const folder = fileURLToPath(new URL('../dist', import.meta.url));
  const { url } = await serve(folder, Number(process.argv[2] ?? process.env.PORT ?? 5178));
  console.log(`Quavix Studio: ${url} (Ctrl+C stops)`);
}
