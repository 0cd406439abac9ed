// The same sound in other tools' words: a `quavix render` command, the
// module's actions for a game, and a link that opens it here again.
import * as quavix from 'quavix';
import type { Params } from 'quavix';
import { formatFloat32, fromHex, hex, shellQuote, signedSeed } from './format';
import { cook, DEFAULT_BUFFER_LENGTH, newRecipe, seedProblem, type Recipe } from './recipe';

function bitsEqual(a: number, b: number): boolean {
  return Object.is(Math.fround(a), Math.fround(b)) || (Number.isNaN(a) && Number.isNaN(b));
}

/** Floats next to `value`, nearest first: the candidates for a user value that stores exactly. */
function nearbyFloats(value: number, count: number): number[] {
  const bits = new DataView(new ArrayBuffer(4));
  bits.setFloat32(0, value);
  const at = bits.getInt32(0);
  const out = [Math.fround(value)];
  for (let d = 1; d <= count; d++) {
    for (const b of [at + d, at - d]) {
      bits.setInt32(0, b);
      out.push(bits.getFloat32(0));
    }
  }
  return out;
}

/** The shortest decimal text of a user value that the parameter stores as exactly `stored`, or null. */
export function exactUserText(index: number, stored: number): string | null {
  // Only values the core's rule lets a person type (set() refuses the others).
  const storesAs = (text: string) =>
    quavix.checkUserValue(index, Number(text)) === null &&
    bitsEqual(quavix.defaults().set(index, Number(text)).stored(index), stored);
  if (storesAs('0')) return '0';
  const user = quavix.defaults().setStored(index, stored).get(index);
  if (!Number.isFinite(user)) return null;
  let best: string | null = null;
  for (const candidate of nearbyFloats(user, 8)) {
    for (let digits = 1; digits <= 9; digits++) {
      const text = formatFloat32(Number(candidate.toPrecision(digits)));
      if (best !== null && text.length >= best.length) break;
      if (storesAs(text)) best = text;
    }
  }
  return best;
}

/**
 * The text that `--set NAME=TEXT` (in the parameter's user unit) reads as exactly this stored value,
 * or null when no such text exists or the tool refuses it.
 */
export function userValueText(index: number, stored: number): string | null {
  if (!Number.isFinite(stored)) return null;
  const info = quavix.paramInfo(index);
  if (info.whole) return quavix.checkUserValue(index, stored) === null ? String(stored) : null;
  if (info.unit === '') return formatFloat32(stored);
  // The text must also keep the tool's --set rule, which is the core's.
  return exactUserText(index, stored);
}

function setOptions(sets: Map<number, number>): string[] | null {
  const words: string[] = [];
  for (const [index, stored] of sets) {
    const text = userValueText(index, stored);
    if (text === null) return null;
    words.push('--set', `${quavix.PARAM_NAMES[index]}=${text}`);
  }
  return words;
}

/** Settings string fields that do not read back exactly, with their exact stored values. */
function inexactFields(params: Params): { csv: string; fixes: Map<number, number> } {
  const csv = quavix.toSettingsString(params);
  const read = quavix.fromSettingsString(csv);
  const fixes = new Map<number, number>();
  for (let i = 0; i < quavix.PARAM_NAMES.length; i++) {
    if (!bitsEqual(read.stored(i), params.stored(i))) fixes.set(i, params.stored(i));
  }
  return { csv, fixes };
}

/** The recipe as the tool's fixed order allows: source, then changes, then at most one final mutation. */
function toolOrder(recipe: Recipe): { sets: Map<number, number>; mutate: number | null } | null {
  const sets = new Map<number, number>();
  const steps = recipe.steps;
  const last = steps[steps.length - 1];
  const mutate = last?.kind === 'mutate' ? last.amount : null;
  for (const step of mutate === null ? steps : steps.slice(0, -1)) {
    if (step.kind !== 'set') return null;
    sets.delete(step.index);
    sets.set(step.index, step.stored);
  }
  return { sets, mutate };
}

/** A `quavix render` command line that writes this sound's WAV, byte for byte (or, with export options, its file). */
export function cliCommand(recipe: Recipe, output = 'sound.wav', options: string[] = []): string {
  const tail = [...options, '-o', output];
  if (recipe.bufferLength !== DEFAULT_BUFFER_LENGTH) tail.unshift('--buffer-length', String(recipe.bufferLength));
  const line = (words: string[]) => ['quavix', 'render', ...words, ...tail].map(shellQuote).join(' ');

  const order = toolOrder(recipe);
  const source = recipe.source;
  if (order && source.kind !== 'load') {
    const sets = setOptions(order.sets);
    if (sets) {
      const from =
        source.kind === 'preset'
          ? ['--preset', quavix.PRESET_FAMILIES[source.family]]
          : source.kind === 'randomize'
            ? ['--randomize']
            : [];
      const mutate = order.mutate === null ? [] : ['--mutate', formatFloat32(order.mutate)];
      return line([...from, '--seed', String(recipe.seed), ...sets, ...mutate]);
    }
  }
  // Any other sound: its exact parameters, and the random state that the synthesis starts from as the seed.
  const sound = cook(recipe);
  const { csv, fixes } = inexactFields(sound.params);
  const sets = setOptions(fixes);
  if (sets && !/nan|inf/i.test(csv)) return line(['--csv', csv, '--seed', String(sound.renderState), ...sets]);
  // Values that neither the settings string nor --set can hold: the settings file's bytes on stdin.
  const bytes = Array.from(quavix.writeSfs(sound.params), (b) => '\\' + b.toString(8).padStart(3, '0')).join('');
  return `printf '${bytes}' | ${line(['--sfs', '-', '--seed', String(sound.renderState)])}`;
}

function setterLine(index: number, stored: number): string {
  const info = quavix.paramInfo(index);
  const named = info.setterText;
  if (info.whole) {
    return Number.isInteger(stored)
      ? named.replace('%0', String(stored))
      : `Set variable with index ${index} to ${stored}`;
  }
  if (info.unit === '') return named.replace('%0', formatFloat32(stored));
  const text = exactUserText(index, stored);
  return text !== null ? named.replace('%0', text) : `Set variable with index ${index} to ${formatFloat32(stored)}`;
}

/** The module's actions, in order, that make this sound in a game. */
export function hostScript(recipe: Recipe, soundName = 'sound'): string[] {
  const quoted = (text: string) => `"${text}"`;
  const lines: string[] = [];
  if (recipe.bufferLength !== DEFAULT_BUFFER_LENGTH) {
    lines.push(`(object property Buffer length: ${recipe.bufferLength})`);
  }
  lines.push(`Set random seed to ${signedSeed(recipe.seed)}`);
  const source = recipe.source;
  if (source.kind === 'preset') lines.push(`Load preset ${source.family}`);
  else if (source.kind === 'randomize') lines.push('Randomize');
  else if (source.kind === 'defaults') lines.push('Reset');
  else {
    const { csv, fixes } = inexactFields(quavix.readSfs(source.sfs));
    lines.push(`Load settings from string ${quoted(csv)}`);
    for (const [index, stored] of fixes) lines.push(`Set variable with index ${index} to ${formatFloat32(stored)}`);
  }
  for (const step of recipe.steps) {
    lines.push(
      step.kind === 'set' ? setterLine(step.index, step.stored) : `Mutate sound by ${formatFloat32(step.amount)}`,
    );
  }
  lines.push(`Generate sound as ${quoted(soundName)}`);
  return lines;
}

/**
 * The link fragment: the settings string and the seed to set before generating, with the settings
 * file's bytes for the exact values that four decimals cannot hold.
 */
export function shareFragment(recipe: Recipe): string {
  const sound = cook(recipe);
  const { csv, fixes } = inexactFields(sound.params);
  const fields = [`seed=${sound.renderState}`, `csv=${encodeURIComponent(csv)}`];
  if (fixes.size > 0) fields.push(`sfs=${hex(quavix.writeSfs(sound.params))}`);
  if (recipe.bufferLength !== DEFAULT_BUFFER_LENGTH) fields.push(`length=${recipe.bufferLength}`);
  return '#' + fields.join('&');
}

/** The recipe a link fragment holds, or what is wrong with the link, in the users' words. */
export function readFragment(fragment: string): Recipe | string {
  const fields = new Map<string, string>();
  for (const part of fragment.replace(/^#/, '').split('&')) {
    const at = part.indexOf('=');
    if (at <= 0) continue;
    const value = part.slice(at + 1);
    try {
      fields.set(part.slice(0, at), decodeURIComponent(value));
    } catch {
      // Either a % without two hexadecimal digits, or escapes of bytes that make no text.
      return /%(?![0-9a-f]{2})/i.test(value)
        ? 'This share link is damaged: it has a % sign that is not followed by two hexadecimal digits.'
        : 'This share link is damaged: some of its %-escaped characters are not valid text (UTF-8).';
    }
  }
  const seedText = fields.get('seed') ?? '';
  const seed = Number(seedText);
  if (!/^\d+$/.test(seedText) || seedProblem(seed)) {
    return 'This share link has no usable seed: it must be a whole number from 1 to 4294967295.';
  }
  let params: Params;
  const sfs = fields.get('sfs');
  if (sfs !== undefined) {
    const bytes = fromHex(sfs);
    const problem = 'This share link is damaged: its exact parameter values cannot be read.';
    if (!bytes) return problem;
    try {
      params = quavix.readSfs(bytes);
    } catch {
      return problem;
    }
  } else {
    const csv = fields.get('csv') ?? '';
    const check = quavix.checkSettingsString(csv);
    if (!check.ok) return 'This share link is damaged: its parameter values cannot be read.';
    params = quavix.fromSettingsString(csv);
  }
  const recipe = newRecipe(seed, { kind: 'load', sfs: quavix.writeSfs(params) });
  const lengthText = fields.get('length');
  if (lengthText !== undefined) {
    const length = Number(lengthText);
    if (!/^\d+$/.test(lengthText) || length < 1 || length > 60) {
      return 'This share link has no usable buffer length: it must be a whole number of seconds from 1 to 60.';
    }
    recipe.bufferLength = length;
  }
  return recipe;
}
