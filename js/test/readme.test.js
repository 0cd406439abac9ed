// Every code block of the README runs as written in a project made as a new
// user makes one: `npm init -y`, then the README's install line with the
// packed tarball in place of the registry. JavaScript blocks run in Node (an
// ES module block as a .mjs file, a require() block as a .js file of the
// CommonJS project); HTML blocks are pages served from the project folder in
// Chromium, whose buttons are clicked.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { readFileSync, rmSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import test from 'node:test';
import { open, session } from '../testing/browser.js';
import { nativeRender, scratchDir } from '../testing/native.js';

const js = new URL('..', import.meta.url).pathname;
const readme = readFileSync(join(js, 'README.md'), 'utf8');
const blocks = [...readme.matchAll(/^```(\w+)\n([\s\S]*?)^```$/gm)].map((m, index) => ({ index, lang: m[1], code: m[2] }));
const npm = (args, cwd) => execFileSync('npm', [...args, '--no-audit', '--no-fund', '--silent'], { cwd, encoding: 'utf8' }).trim();

// The project: npm init -y, and the install line with the tarball.
const packDir = scratchDir();
const [{ filename }] = JSON.parse(npm(['pack', '--json', '--pack-destination', packDir], js));
const project = scratchDir();
npm(['init', '-y'], project);
const install = blocks.filter((b) => b.lang === 'sh');
assert.deepEqual(install.map((b) => b.code), ['npm install quavix\n'], 'one install line');
npm([...install[0].code.trim().split(' ').slice(1, -1), join(packDir, filename), '--offline'], project);

const { browser, server } = await session(project);

test('the project is what npm init -y makes: CommonJS', () => {
  assert.equal(JSON.parse(readFileSync(join(project, 'package.json'))).type ?? 'commonjs', 'commonjs');
});

test('every JavaScript block runs in Node; the first two, ES module and CommonJS, write the native tool\'s coin', () => {
  const scripts = blocks.filter((b) => b.lang === 'js');
  assert.ok(scripts.length >= 6, `${scripts.length} blocks`);
  const coin = nativeRender(['--preset', 'coin', '--seed', '42', '--set', 'SustainTime=0.25']).wav;
  for (const [i, block] of scripts.entries()) {
    const file = join(project, `block${block.index}.${block.code.includes('require(') ? 'js' : 'mjs'}`);
    writeFileSync(file, block.code);
    rmSync(join(project, 'coin.wav'), { force: true });
    try {
      execFileSync(process.execPath, [file], { cwd: project, encoding: 'utf8', stdio: 'pipe' });
    } catch (error) {
      assert.fail(`block ${block.index}:\n${block.code}\n${error.stderr}`);
    }
    if (i > 1) continue;
    assert.equal(file.endsWith('.js'), i === 1, `block ${block.index}: ES module, then CommonJS`);
    assert.ok(readFileSync(join(project, 'coin.wav')).equals(coin), `block ${block.index}: coin.wav`);
  }
});

test('every HTML block runs in Chromium, its buttons clicked', async () => {
  const pages = blocks.filter((b) => b.lang === 'html');
  assert.ok(pages.length >= 3, `${pages.length} blocks`);
  for (const block of pages) {
    writeFileSync(join(project, `block${block.index}.html`), `<!doctype html>\n${block.code}`);
    const { page, errors } = await open(browser, `${server.url}block${block.index}.html`);
    const buttons = await page.$$('button');
    // a page is ready when its buttons have their handlers (or, without buttons, when it has written its output)
    await page.waitForFunction(() => [...document.querySelectorAll('button')].every((b) => b.onclick !== null) &&
      (document.querySelector('button') !== null || document.body.innerText.trim() !== ''), null, { timeout: 20000 })
      .catch(() => errors.push('the page never got ready'));
    for (const button of buttons) await button.click();
    await page.waitForTimeout(500);
    assert.deepEqual(errors, [], `block ${block.index}:\n${block.code}`);
    await page.close();
  }
});
