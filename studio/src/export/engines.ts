// The files that make a pack drop into a game: an ES module for a web game, a
// folder for Godot with a GDScript that preloads the sounds, and a Lua module
// for LÖVE. Each names the sounds as the person did (a name that repeats gets
// " (2)", " (3)" ...) and their files as the pack does; whatever a name holds,
// it is a string literal of the language, escaped, and nothing else.
import type { FileFormat } from './sample-format';

export type Engine = 'web' | 'godot' | 'love';

export const ENGINES: Engine[] = ['web', 'godot', 'love'];

/** Where each engine's files go in the pack. */
export const ENGINE_FILES = {
  web: 'sounds.js',
  godotFolder: 'godot',
  godot: 'godot/quavix_sounds.gd',
  love: 'sounds.lua',
} as const;

/** Why an engine cannot take files of this format, or null when it can. */
export function engineRefuses(engine: Engine, format: FileFormat): string | null {
  if (engine === 'godot' && format === 'flac') return 'Godot does not import FLAC files: choose WAV or Ogg Vorbis';
  return null;
}

/** A sound as the generated files know it: its key (the name) and its file in the pack. */
export interface EngineSound {
  name: string;
  file: string;
}

/** Names as keys: lone surrogates made U+FFFD (no file can hold them), and each key distinct. */
export function engineKeys(names: string[]): string[] {
  const used = new Set<string>();
  return names.map((raw) => {
    const name = raw.replace(/[\ud800-\udbff](?![\udc00-\udfff])|(?<![\ud800-\udbff])[\udc00-\udfff]/g, '\ufffd');
    let key = name;
    for (let n = 2; used.has(key); n++) key = `${name} (${n})`;
    used.add(key);
    return key;
  });
}

const hex4 = (c: number) => c.toString(16).padStart(4, '0');

/** A JavaScript string literal in ASCII alone: `<`, quotes, backslashes and all beyond ASCII as \u escapes. */
export function jsString(s: string): string {
  let out = '"';
  for (let i = 0; i < s.length; i++) {
    const c = s.charCodeAt(i);
    if (c === 0x22 || c === 0x5c) out += `\\${s[i]}`;
    else if (c < 0x20 || c >= 0x7f || c === 0x3c || c === 0x3e) out += `\\u${hex4(c)}`;
    else out += s[i];
  }
  return out + '"';
}

/** A Lua string literal in ASCII alone: each UTF-8 byte beyond printable ASCII, each quote and backslash as \ddd. */
export function luaString(s: string): string {
  let out = '"';
  for (const b of new TextEncoder().encode(s)) {
    out +=
      b < 0x20 || b >= 0x7f || b === 0x22 || b === 0x5c ? `\\${String(b).padStart(3, '0')}` : String.fromCharCode(b);
  }
  return out + '"';
}

/** A GDScript string literal (Godot 3 and 4): quotes and backslashes escaped, control characters as \u escapes. */
export function gdString(s: string): string {
  let out = '"';
  for (const ch of s) {
    const c = ch.codePointAt(0)!;
    if (c === 0x22 || c === 0x5c) out += `\\${ch}`;
    else if (c < 0x20 || (c >= 0x7f && c < 0xa0) || c === 0x2028 || c === 0x2029) out += `\\u${hex4(c)}`;
    else out += ch;
  }
  return out + '"';
}

const keyed = (sounds: EngineSound[]) => {
  const keys = engineKeys(sounds.map((s) => s.name));
  return sounds.map((s, i) => ({ key: keys[i], file: s.file }));
};

/** sounds.js: the sounds by name as URLs beside the module, `load(name)` to decode one and `play(name)`. */
export function webModule(sounds: EngineSound[]): string {
  const entries = keyed(sounds).map(
    ({ key, file }) => `  [${jsString(key)}]: new URL(${jsString(`./${file}`)}, import.meta.url).href,\n`,
  );
  return `// The sounds of this pack by name, each the URL of its file beside this module.
//   import { sounds, play } from './sounds.js';
//   play('NAME'); // after the page has been clicked or touched, as browsers ask
export const sounds = Object.freeze({
${entries.join('')}});

export default sounds;

const shown = (name) => {
  const chars = Array.from(String(name));
  return chars.length > 40 ? chars.slice(0, 40).join('') + '...' : chars.join('');
};

let shared = null;
const decoded = new WeakMap();

/** The sound decoded for this audio context (by default one of the module's own), fetched once. */
export function load(name, context) {
  if (!Object.prototype.hasOwnProperty.call(sounds, name)) {
    return Promise.reject(new Error('There is no sound named "' + shown(name) + '" in sounds.js'));
  }
  context ??= shared ??= new AudioContext();
  let known = decoded.get(context);
  if (!known) decoded.set(context, (known = new Map()));
  if (!known.has(name)) {
    const buffer = fetch(sounds[name])
      .then((response) => {
        if (!response.ok) throw new Error('The file of "' + shown(name) + '" could not be read: ' + response.status);
        return response.arrayBuffer();
      })
      .then((bytes) => context.decodeAudioData(bytes));
    buffer.catch(() => known.delete(name));
    known.set(name, buffer);
  }
  return known.get(name);
}

/** Plays the sound once at this gain; resolves to its AudioBufferSourceNode. */
export async function play(name, { volume = 1, context } = {}) {
  const buffer = await load(name, context);
  context ??= shared;
  if (context.state === 'suspended') context.resume();
  const source = new AudioBufferSourceNode(context, { buffer });
  source.connect(new GainNode(context, { gain: volume })).connect(context.destination);
  source.start();
  return source;
}
`;
}

/** godot/quavix_sounds.gd: a constant Dictionary of the sounds by name, each preloaded from its file beside it. */
export function godotScript(sounds: EngineSound[]): string {
  const entries = keyed(sounds).map(({ key, file }) => `\t${gdString(key)}: preload(${gdString(file)}),\n`);
  return `# The sounds of this pack by name, each preloaded from its file beside this script.
# Copy this folder into a project (Godot imports the sound files), then:
#   const QuavixSounds = preload("res://FOLDER/quavix_sounds.gd")
#   $AudioStreamPlayer.stream = QuavixSounds.SOUNDS["NAME"]
const SOUNDS = {
${entries.join('')}}
`;
}

/** sounds.lua: a table of the sounds by name, each a static source of its file beside the module. */
export function loveModule(sounds: EngineSound[]): string {
  const entries = keyed(sounds).map(
    ({ key, file }) => `  [${luaString(key)}] = love.audio.newSource(prefix .. ${luaString(file)}, "static"),\n`,
  );
  return `-- The sounds of this pack by name: each a static source of its file beside this module.
--   local sounds = require("sounds") -- or require("FOLDER.sounds")
--   sounds["NAME"]:play()
local folder = ((...) or ""):gsub("[/\\\\]", "."):match("^(.+)%.[^%.]+$")
local prefix = folder and folder:gsub("%.", "/") .. "/" or ""
return {
${entries.join('')}}
`;
}
