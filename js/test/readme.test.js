// Every code block of the README runs as written in a project made as a new
// user makes one: `npm init -y`, then the README's two shell lines, the pack
// line in js/ and the install line in the project with the tarball copied there. JavaScript blocks run in Node (an
// ES module block as a .mjs file, a require() block as a .js file of the
// CommonJS project); HTML blocks are pages served from the project folder in
// Chromium, whose buttons are clicked.
import assert from 'node:assert/strict';
import { execFileSync, execSync } from 'node:child_process';
import { readFileSync, renameSync, rmSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import test from 'node:test';
import { open, session } from '../testing/browser.js';
import * as quavix from '../node.js';
import { layersOf, native, nativeLayers, nativeRender, scratchDir } from '../testing/native.js';

const js = new URL('..', import.meta.url).pathname;
const readme = readFileSync(join(js, 'README.md'), 'utf8');
const blocks = [...readme.matchAll(/^```(\w+)\n([\s\S]*?)^```$/gm)].map((m, index) => ({ index, lang: m[1], code: m[2] }));
const npm = (args, cwd) => execFileSync('npm', [...args, '--no-audit', '--no-fund', '--silent'], { cwd, encoding: 'utf8' }).trim();

// The project: npm init -y, then the README's lines as written (no network: npm's settings from the environment).
const shell = blocks.filter((b) => b.lang === 'sh').map((b) => b.code.trim());
assert.equal(shell.length, 2, 'the pack line and the install line');
const env = { ...process.env, npm_config_offline: 'true', npm_config_audit: 'false', npm_config_fund: 'false' };
const sh = (line, cwd) => execSync(line, { cwd, env, encoding: 'utf8', stdio: 'pipe' });
const tarball = sh(shell[0], js).trim().split('\n').pop(); // npm pack names its tarball last
const project = scratchDir();
npm(['init', '-y'], project);
renameSync(join(js, tarball), join(project, tarball));
sh(shell[1], project);

const { browser, server } = await session(project);
await quavix.init();
await quavix.initLayers();

test('the project is what npm init -y makes, CommonJS, with the tarball of the README\'s install line', () => {
  const made = JSON.parse(readFileSync(join(project, 'package.json')));
  assert.equal(made.type ?? 'commonjs', 'commonjs');
  assert.deepEqual(made.dependencies, { quavix: `file:${tarball}` });
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
  // the layered sound's block writes the tool's mix of its layers
  const layers = layersOf([{ preset: 'laser', seed: 42 }, { settings: '3,,0.1,,0.2,0.3,,-0.4,,,,,,,,,,,,1,,,,', seed: 7, offset: 2205, gainDb: -9.5 }]);
  assert.ok(readFileSync(join(project, 'layers.wav')).equals(nativeLayers(layers).wav), 'layers.wav');
  assert.ok(native(['render', '--layers', join(project, 'layers.txt'), '-o', join(project, 'from-text.wav')]).status === 0 &&
    readFileSync(join(project, 'from-text.wav')).equals(readFileSync(join(project, 'layers.wav'))), 'layers.txt, as the comment says');
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
