// Writes quavix.global.js: the package for a plain <script> tag, which sets
// the global `quavix` (the API of index.js, quavix.play of play.js and
// quavix.audio of audio.js, typed by global.d.ts) and carries quavix.wasm and
// quavix-layers.wasm inside it, so init() and initLayers() need no URL and the
// page works from disk too. Run by the package's build and prepack; nothing
// else is needed than Node.
//   node tools/build-global.mjs [output]
import { readFileSync, writeFileSync } from 'node:fs';

const here = new URL('../', import.meta.url);
const read = (name) => readFileSync(new URL(name, here), 'utf8');
const output = process.argv[2] ?? new URL('quavix.global.js', here).pathname;

// One ES module of this package as a function of the modules it imports.
function asFunction(name) {
  const exported = [];
  const live = []; // set when the module loads: read through a getter
  let text = read(`${name}.js`)
    .replace(/^import\s*\{([^}]*)\}\s*from\s*'\.\/(\w+)\.js';/gm,
      (_, names, from) => `const {${names.replace(/\s+as\s+/g, ': ')}} = modules.${from};`)
    .replace(/^export (async function|function|class|const|let) (\w+)/gm, (_, kind, id) => {
      (kind === 'let' ? live : exported).push(id);
      return `${kind} ${id}`;
    })
    .replace("new URL('./quavix.wasm', import.meta.url)", 'embeddedModule(WASM)')
    .replace("new URL('./quavix-layers.wasm', import.meta.url)", 'embeddedModule(LAYERS_WASM)')
    .replaceAll('import.meta.url', 'SCRIPT_URL');
  if (/^\s*(import|export)\b/m.test(text)) throw new Error(`${name}.js: an import or export this build does not know`);
  const getters = live.map((id) => `${id}: { get: () => ${id}, enumerable: true }`).join(', ');
  return `modules.${name} = (() => {\n${text}\nreturn Object.defineProperties({ ${exported.join(', ')} }, { ${getters} });\n})();\n`;
}

const base64 = (name) => readFileSync(new URL(name, here)).toString('base64');
const version = JSON.parse(read('package.json')).version;
writeFileSync(output, `/* quavix ${version} for a plain <script> tag: sets the global quavix. MIT licence. */
(function (global) {
'use strict';
const SCRIPT_URL = (typeof document !== 'undefined' && document.currentScript && document.currentScript.src) ||
  (typeof location !== 'undefined' ? location.href : '');
const WASM = '${base64('quavix.wasm')}';
const LAYERS_WASM = '${base64('quavix-layers.wasm')}';
function embeddedModule(wasm) {
  const text = atob(wasm);
  const bytes = new Uint8Array(text.length);
  for (let i = 0; i < text.length; i++) bytes[i] = text.charCodeAt(i);
  return bytes;
}
const modules = {};
${asFunction('index')}
${asFunction('play')}
${asFunction('audio')}
const api = Object.defineProperties({}, Object.getOwnPropertyDescriptors(modules.index));
// quavix.play is the namespace of play.js, as quavix.audio is of audio.js, and plays when called, as play() does.
const play = Object.freeze(Object.assign(function play(wav, audioContext) { return modules.play.play(wav, audioContext); }, modules.play));
global.quavix = Object.freeze(Object.assign(api, { play, audio: Object.freeze(modules.audio) }));
})(typeof globalThis !== 'undefined' ? globalThis : self);
`);
