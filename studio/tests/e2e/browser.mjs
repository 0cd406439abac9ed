// Headless Chromium for the browser tests and the benchmark: Debian's
// /usr/bin/chromium with a fresh profile and no network use of its own.
import { chromium } from 'playwright-core';
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

export const CHROMIUM = process.env.QUAVIX_CHROMIUM ?? '/usr/bin/chromium';

export async function openBrowser({ width = 1280, height = 800 } = {}) {
  const profile = mkdtempSync(join(tmpdir(), 'quavix-studio-profile-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: CHROMIUM,
    headless: true,
    acceptDownloads: true,
    viewport: { width, height },
    args: [
      '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
      '--autoplay-policy=no-user-gesture-required', '--allow-file-access-from-files',
    ],
  });
  return {
    context,
    async close() {
      await context.close();
      rmSync(profile, { recursive: true, force: true });
    },
  };
}

/** A page that records console errors, page errors and every request that leaves the machine. */
export async function openPage(context, url) {
  const page = await context.newPage();
  const problems = [];
  page.on('console', (m) => { if (m.type() === 'error') problems.push(`console: ${m.text()}`); });
  page.on('pageerror', (e) => problems.push(`page error: ${e.message}`));
  page.on('request', (r) => {
    const u = r.url();
    if (!/^(file:|blob:|data:|http:\/\/127\.0\.0\.1[:/])/.test(u)) problems.push(`network: ${u}`);
  });
  await page.goto(url);
  await page.waitForSelector('html[data-ready="true"]');
  await page.waitForFunction(() => document.getElementById('fingerprint')?.dataset.sha256);
  return { page, problems };
}
