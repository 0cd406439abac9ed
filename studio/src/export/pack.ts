// A pack: one .zip with each sound's file named after it, its settings file,
// its host script (the module's actions that make it in a game), the quavix
// command that makes the file again, and manifest.json in the tool's shape.
import * as quavix from 'quavix';
import { zipSync } from 'fflate';
import { cook, type Recipe } from '../recipe';
import { cliCommand, hostScript } from '../exports';
import { hex, shellQuote } from '../format';
import { toMix, type MixLayer } from '../layered';
import { projectText } from '../project';
import { exportSound, isPlain, reachableLoudness, type ExportedSound, type ExportOptions } from './export-sound';
import { measureLoudness, type Loudness } from './loudness';
import { ENGINE_FILES, engineRefuses, godotScript, loveModule, webModule, type Engine } from './engines';

export interface PackItem {
  name: string;
  recipe: Recipe;
  /** A layered sound's layers: its file is their mix. */
  layers?: MixLayer[];
}

/** One sound of a pack, as the dialog lists it. */
export interface PackSound {
  name: string;
  file: string;
  loudnessLufs: number;
  truePeakDbtp: number;
  limited: boolean;
  /** For a sound the ceiling limits: the loudness it reaches with its true peak at the ceiling. */
  reachableLufs: number | null;
  /** What the person should know about this file, in the tool's words. */
  notes: string[];
}

export interface Pack {
  zip: Uint8Array;
  sounds: PackSound[];
  manifest: Record<string, unknown>;
}

/** A file name of letters, digits, '-', '_' and '.', never empty and never hidden. */
export function safeName(name: string): string {
  const cleaned = name
    .normalize('NFKD')
    .replace(/[\u0300-\u036f]/g, '')
    .replace(/[^A-Za-z0-9._-]+/g, '-')
    .replace(/^[-.]+|[-.]+$/g, '');
  return cleaned.slice(0, 80) || 'sound';
}

/** Names made file-safe and distinct: a repeated name gets -2, -3, ... */
export function packNames(names: string[]): string[] {
  const used = new Set<string>();
  return names.map((name) => {
    const base = safeName(name);
    let candidate = base;
    for (let n = 2; used.has(candidate.toLowerCase()); n++) candidate = `${base}-${n}`;
    used.add(candidate.toLowerCase());
    return candidate;
  });
}

const level = (db: number): number | null => (Number.isFinite(db) ? Math.round(db * 1000) / 1000 : null);
const text2 = (db: number): string => (Number.isFinite(db) ? db.toFixed(2) : '-inf');
const signed = (db: number): string => `${db >= 0 ? '+' : ''}${db.toFixed(2)} dB`;

/** The tool's export options, in its order, that make files with these options. */
export function exportWords(o: ExportOptions): string[] {
  if (isPlain(o)) return [];
  const words = ['--format', o.format];
  if (o.format !== 'ogg') words.push('--bits', o.bits);
  words.push('--rate', String(o.rate));
  const n = o.normalize;
  if (n.kind === 'peak') words.push('--normalize', `peak:${n.dbfs}`);
  if (n.kind === 'loudness' || n.kind === 'match') words.push('--normalize', `lufs:${n.lufs}`);
  if (n.kind === 'loudness' || n.kind === 'match') words.push('--true-peak', String(o.ceilingDbtp));
  if (o.trimDb !== null) words.push('--trim', String(o.trimDb));
  if (o.fadeOutMs > 0) words.push('--fade-out', String(o.fadeOutMs));
  return words;
}

function exportFields(o: ExportOptions, s: ExportedSound): Record<string, unknown> {
  return {
    format: o.format,
    rate: o.rate,
    bits: o.format === 'ogg' ? null : o.bits,
    frames: s.frames,
    gain_db: level(s.gainDb),
    gain_limited: s.limited,
    loudness_before_lufs: level(s.before.integratedLufs),
    true_peak_before_dbtp: level(s.before.truePeakDbtp),
    loudness_after_lufs: level(s.after.integratedLufs),
    true_peak_after_dbtp: level(s.after.truePeakDbtp),
    measured_padded: s.after.padded,
    clipped_by_conversion: s.clipped,
  };
}

function notesOf(o: ExportOptions, s: ExportedSound): string[] {
  const notes: string[] = [];
  if (o.normalize.kind !== 'none' && s.unmeasurable) {
    notes.push('the sound is silent before the gain: it is not normalised');
  } else if (s.limited) {
    notes.push(
      `limited by the ceiling: the ${text2(o.ceilingDbtp)} dBTP ceiling limits the gain to ${signed(s.gainDb)} ` +
        `(the target asks for ${signed(s.wantedGainDb)}): the sound ends at ${text2(s.after.integratedLufs)} LUFS`,
    );
  }
  if (s.emptied)
    notes.push(`nothing is louder than ${text2(o.trimDb ?? 0)} dBFS: after trimming the file holds no samples`);
  if (s.clipped > 0) {
    notes.push(
      `${s.clipped} sample${s.clipped === 1 ? ' was' : 's were'} clipped at full scale by the conversion to ${o.bits} bits`,
    );
  }
  return notes;
}

function exportSection(o: ExportOptions): Record<string, unknown> {
  const n = o.normalize;
  return {
    format: o.format,
    rate: o.rate,
    bits: o.format === 'ogg' ? null : o.bits,
    match_loudness_lufs: n.kind === 'match' ? level(n.lufs) : null,
    normalize: n.kind === 'peak' ? `peak:${n.dbfs}` : n.kind === 'loudness' ? `lufs:${n.lufs}` : null,
    true_peak_ceiling_dbtp: n.kind === 'loudness' || n.kind === 'match' ? level(o.ceilingDbtp) : null,
    trim_threshold_db: o.trimDb === null ? null : level(o.trimDb),
    fade_out_ms: o.fadeOutMs,
  };
}

const COMMANDS_HEAD =
  '#!/bin/sh\n# Makes every sound file of this pack again with the quavix tool; run it in this folder.\nset -e\n';

/**
 * Renders each sound and makes its pack. With the plain options (16-bit WAV at 44.1 kHz, nothing else)
 * each file is the module's own WAV image; `progress` hears of each sound as it is done. Each of `engines` adds
 * the files that make the pack drop into that kind of game (sounds.js, godot/, sounds.lua).
 */
export async function buildPack(
  items: PackItem[],
  options: ExportOptions,
  progress: (done: number, total: number) => void = () => {},
  engines: Engine[] = [],
): Promise<Pack> {
  for (const engine of engines) {
    const why = engineRefuses(engine, options.format);
    if (why) throw new Error(why);
  }
  const names = packNames(items.map((i) => i.name));
  const plain = isPlain(options);
  const ext = options.format;
  const files: Record<string, Uint8Array> = {};
  const entries: Record<string, unknown>[] = [];
  const sounds: PackSound[] = [];
  const commands: string[] = [];
  for (let i = 0; i < items.length; i++) {
    const { recipe, layers } = items[i];
    const name = names[i];
    const file = `${name}.${ext}`;
    const made = layers ? layered(items[i], name, file, options, files) : single(recipe, name, file, options, files);
    const { entry, command } = made;
    entry.name = items[i].name;
    let measured: Loudness;
    let limited = false;
    let reachableLufs: number | null = null;
    let notes: string[] = [];
    if (plain) {
      files[file] = made.wav;
      measured = measureLoudness(
        Float32Array.from(made.samples, (s) => s / 32768),
        quavix.SAMPLE_RATE,
      );
    } else {
      const exported = await exportSound(made.input(), options);
      files[file] = exported.bytes;
      measured = exported.after;
      limited = exported.limited;
      if (limited) reachableLufs = reachableLoudness(exported, options.ceilingDbtp);
      notes = notesOf(options, exported);
      Object.assign(entry, exportFields(options, exported));
    }
    commands.push(command);
    entries.push(entry);
    sounds.push({
      name: items[i].name,
      file,
      loudnessLufs: measured.integratedLufs,
      truePeakDbtp: measured.truePeakDbtp,
      limited,
      reachableLufs,
      notes,
    });
    progress(i + 1, items.length);
    // the page shows the progress before the next sound is made
    await new Promise((resolve) => setTimeout(resolve, 0));
  }
  const manifest: Record<string, unknown> = {
    generator: 'quavix studio',
    seed: null,
    count: items.length,
    set: [],
    mutate: null,
    buffer_length: items.length > 0 && !items[0].layers ? items[0].recipe.bufferLength : null,
    sample_rate: quavix.SAMPLE_RATE,
    clip_level: quavix.CLIP_LEVEL,
  };
  if (!plain) manifest.export = exportSection(options);
  manifest.skipped_silent = 0;
  manifest.sounds = entries;
  files['manifest.json'] = new TextEncoder().encode(JSON.stringify(manifest, null, 2) + '\n');
  files['commands.sh'] = new TextEncoder().encode(COMMANDS_HEAD + commands.join('\n') + '\n');
  const text = (t: string) => new TextEncoder().encode(t);
  if (engines.includes('web')) files[ENGINE_FILES.web] = text(webModule(sounds));
  if (engines.includes('love')) files[ENGINE_FILES.love] = text(loveModule(sounds));
  if (engines.includes('godot')) {
    for (const s of sounds) files[`${ENGINE_FILES.godotFolder}/${s.file}`] = files[s.file];
    files[ENGINE_FILES.godot] = text(godotScript(sounds));
  }
  const zip = zipSync(files, { level: 6, mtime: new Date(2020, 0, 1) });
  return { zip, sounds, manifest };
}

interface Made {
  entry: Record<string, unknown>;
  command: string;
  wav: Uint8Array;
  samples: Int16Array;
  /** What the export takes. */
  input(): Int16Array | Float32Array;
}

/** A sound: its file, settings file and host script, and its manifest entry. */
function single(recipe: Recipe, name: string, file: string, options: ExportOptions, files: Files): Made {
  const cooked = cook(recipe);
  const rng = quavix.random(0);
  rng.state = cooked.renderState;
  const made = quavix.render(cooked.params, rng, { bufferLength: recipe.bufferLength });
  const sfs = quavix.writeSfs(cooked.params);
  const command = cliCommand(recipe, file, exportWords(options));
  files[`${name}.sfs`] = sfs;
  files[`${name}.host.txt`] = new TextEncoder().encode(hostScript(recipe, name).join('\n') + '\n');
  const entry: Record<string, unknown> = {
    file,
    name: '',
    seed: Number(/--seed (\d+)/.exec(command)?.[1] ?? recipe.seed),
    settings: quavix.toSettingsString(cooked.params),
    sfs: hex(sfs),
    samples: made.sampleCount,
    peak: made.peak,
    clipped: made.clipped,
    silent: made.silent,
    command,
  };
  const samples = made.samples.slice();
  return { entry, command, wav: made.wav.slice(), samples, input: () => samples };
}

/**
 * A layered sound: its mix, and its own project file (NAME.layers.json) from which `quavix render --layers` makes the
 * file again; the manifest entry is the one `quavix batch --project` writes for it.
 */
function layered(item: PackItem, name: string, file: string, options: ExportOptions, files: Files): Made {
  const layers = item.layers!;
  // the export's input is the core's: each sum / 32768 as a float, unclamped, as the tool takes it
  const mix = quavix.renderLayers(toMix(layers), { floats: true });
  const project = `${name}.layers.json`;
  files[project] = new TextEncoder().encode(projectText([{ name: item.name, tags: [], recipe: item.recipe, layers }]));
  const words = ['render', '--layers', project, '--sound', item.name, ...exportWords(options), '-o', file];
  const command = ['quavix', ...words].map(shellQuote).join(' ');
  const samples = mix.samples.slice();
  const entry: Record<string, unknown> = {
    file,
    name: '',
    seed: null,
    settings: null,
    sfs: null,
    samples: mix.sampleCount,
    peak: mix.peak,
    clipped: samples.filter((s) => Math.abs(s) >= quavix.CLIP_LEVEL).length,
    silent: mix.peak === 0,
    command,
    buffer_length: null,
    layers: layers.length,
    mix_clipped: mix.clipped,
  };
  return { entry, command, wav: mix.wav.slice(), samples, input: () => mix.floats };
}

type Files = Record<string, Uint8Array>;
