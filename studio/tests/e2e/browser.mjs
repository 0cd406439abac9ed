// Headless Chromium for the browser tests and the benchmark: Debian's
// /usr/bin/chromium with a fresh profile and the flags a person's browser has.
// Only two are added: headless, and no sandbox (the tests may run as root).
import { chromium } from 'playwright-core';
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

export const CHROMIUM = process.env.QUAVIX_CHROMIUM ?? '/usr/bin/chromium';

/** Flags that would let a page read more than a person's browser lets it. */
const WIDENING = [
  /^--allow-file-access/,
  /^--disable-web-security/,
  /^--allow-running-insecure-content/,
  /^--unsafely-treat-insecure-origin-as-secure/,
  /^--disable-site-isolation-trials/,
  /^--disable-features=.*\b(IsolateOrigins|site-per-process|BlockInsecurePrivateNetworkRequests)\b/,
];

/** The flags of a command line that widen what pages may read. */
export function wideningFlags(commandLine) {
  return commandLine.split(/\s+/).filter((word) => WIDENING.some((w) => w.test(word)));
}

/** The running browser's own command line, as chrome://version shows it. */
export async function commandLineOf(context) {
  const page = await context.newPage();
  await page.goto('chrome://version');
  const line = await page.textContent('#command_line');
  await page.close();
  return line ?? '';
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
  const widening = wideningFlags(await commandLineOf(context));
  if (widening.length > 0) {
    await close();
    throw new Error(`Chromium was started with flags that widen file access: ${widening.join(' ')}`);
  }
  return { context, close };
}

/** A page that records console errors, page errors, policy violations and every request that leaves the machine. */
export async function openPage(context, url, { ready = true } = {}) {
  const page = await context.newPage();
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
