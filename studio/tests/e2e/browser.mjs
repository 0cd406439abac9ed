// Headless Chromium for the browser tests and the benchmark: Debian's
// /usr/bin/chromium with a fresh profile and the flags a person's browser has.
// Only two are added: headless, and no sandbox (the tests may run as root).
import { chromium } from 'playwright-core';
import { mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { pathToFileURL } from 'node:url';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

export const CHROMIUM = process.env.QUAVIX_CHROMIUM ?? '/usr/bin/chromium';

/**
 * Whether a page opened from disk can read a file beside it. A person's browser refuses that; a
 * browser started with wider file access or security switched off allows it, and would let a test
 * pass where a person's page fails.
 */
export async function readsNeighbourFiles(context) {
  const dir = mkdtempSync(join(tmpdir(), 'quavix-studio-probe-'));
  writeFileSync(join(dir, 'neighbour.txt'), 'neighbour');
  writeFileSync(join(dir, 'probe.html'), '<!doctype html><title>probe</title>');
  const page = await context.newPage();
  try {
    await page.goto(pathToFileURL(join(dir, 'probe.html')).href);
    return await page.evaluate(
      (url) =>
        new Promise((resolve) => {
          const request = new XMLHttpRequest();
          request.onload = () => resolve(request.responseText === 'neighbour');
          request.onerror = () => resolve(false);
          try {
            request.open('GET', url);
            request.send();
          } catch {
            resolve(false);
          }
        }),
      pathToFileURL(join(dir, 'neighbour.txt')).href,
    );
  } finally {
    await page.close();
    rmSync(dir, { recursive: true, force: true });
  }
}

export async function openBrowser({ width = 1280, height = 800 } = {}) {
  const profile = mkdtempSync(join(tmpdir(), 'quavix-studio-profile-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: CHROMIUM,
    // Playwright's own defaults change what pages may do: none of them.
    ignoreDefaultArgs: true,
    args: ['--headless', '--no-sandbox', `--user-data-dir=${profile}`, '--remote-debugging-pipe', 'about:blank'],
    acceptDownloads: true,
    viewport: { width, height },
  });
  const close = async () => {
    await context.close();
    rmSync(profile, { recursive: true, force: true });
  };
  if (await readsNeighbourFiles(context)) {
    await close();
    throw new Error("Chromium lets a page opened from disk read the files beside it, which a person's browser refuses");
  }
  return { context, close };
}

/** A page (with the script `init` run before its own) that records console errors, page errors, policy violations and every request that leaves the machine. */
export async function openPage(context, url, { ready = true, init } = {}) {
  const page = await context.newPage();
  if (init) await page.addInitScript(init);
  const problems = [];
  page.on('console', (m) => {
    if (m.type() === 'error') problems.push(`console: ${m.text()}`);
  });
  page.on('pageerror', (e) => problems.push(`page error: ${e.message}`));
  page.on('request', (r) => {
    const u = r.url();
    if (!/^(file:|blob:|data:|http:\/\/127\.0\.0\.1[:/])/.test(u)) problems.push(`network: ${u}`);
  });
  await page.exposeFunction('reportViolation', (text) => problems.push(`policy: ${text}`));
  await page.addInitScript(() => {
    document.addEventListener('securitypolicyviolation', (e) =>
      window.reportViolation(`${e.violatedDirective} ${e.blockedURI}`),
    );
  });
  await page.goto(url);
  if (ready) {
    await page.waitForSelector('html[data-ready="true"]');
    await page.waitForFunction(() => document.getElementById('fingerprint')?.dataset.sha256);
  }
  return { page, problems };
}
