// Steps the browser tests take on the Studio's page.
import { readFileSync } from 'node:fs';

/** Waits until the page has made and shown its sound. */
export const settle = (page) => page.waitForFunction(() => document.documentElement.dataset.busy === 'false');

/** The SHA-256 of the current sound's WAV, once the page has settled. */
export const fingerprint = async (page) => (await settle(page), page.$eval('#fingerprint', (e) => e.dataset.sha256));

/** Clicks and waits until the page has settled. */
export async function click(page, selector) {
  await page.click(selector);
  await settle(page);
}

/** The bytes of the download that start() begins. */
export async function downloaded(page, start) {
  const [download] = await Promise.all([page.waitForEvent('download'), start()]);
  return readFileSync(await download.path());
}
