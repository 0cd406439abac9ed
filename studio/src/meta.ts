// What the Studio shows for each of the 24 parameters, read from the core's
// parameter table (quavix.paramInfo()): groups, labels, slider ranges in the
// users' unit, the rule a typed value keeps, and a one-line explanation.
import * as quavix from 'quavix';
import type { ParamInfo } from 'quavix';

export interface ParamMeta {
  name: string;
  label: string;
  /** Slider range in the users' unit (the typical range of the core's table). */
  min: number;
  max: number;
  /** Short unit for beside a field: 's', 'cycles/s', 'repeats/s' or ''. */
  unit: string;
  /** The unit in words: 'seconds', 'cycles per second', ... or ''. */
  unitWords: string;
  help: string;
  whole: boolean;
  frequency: boolean;
}

export interface ParamGroup {
  id: string;
  title: string;
  params: ParamMeta[];
}

const SHORT_UNIT: Record<string, string> = {
  seconds: 's',
  'cycles per second': 'cycles/s',
  'repeats per second': 'repeats/s',
};

const sentence = (text: string) => text.charAt(0).toUpperCase() + text.slice(1) + '.';

function metaOf(info: ParamInfo): ParamMeta {
  return {
    name: info.name,
    label: info.label,
    min: info.typical.min,
    max: info.typical.max,
    unit: SHORT_UNIT[info.unit] ?? '',
    unitWords: info.unit,
    help: sentence(info.help),
    whole: info.whole,
    frequency: info.frequency,
  };
}

/** The parameters by group, in the order the core shows them (after quavix.init()). */
export function paramGroups(): ParamGroup[] {
  const groups: ParamGroup[] = [];
  const infos = [...quavix.paramInfo()].sort((a, b) => a.groupIndex - b.groupIndex || a.index - b.index);
  for (const info of infos) {
    let group = groups.find((g) => g.id === info.group);
    if (!group) groups.push((group = { id: info.group, title: info.groupTitle, params: [] }));
    group.params.push(metaOf(info));
  }
  return groups;
}

export const WAVE_NAMES = ['Square', 'Sawtooth', 'Sine', 'Noise'];
export const FAMILY_LABELS = ['Coin', 'Laser', 'Explosion', 'Powerup', 'Hurt', 'Jump', 'Blip'];
