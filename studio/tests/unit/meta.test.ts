import { beforeAll, expect, test } from 'vitest';
import * as quavix from 'quavix';
import { paramGroups } from '../../src/meta';

beforeAll(() => quavix.init());

test("the groups come from the core's table, in its order, each parameter once", () => {
  const groups = paramGroups();
  expect(groups.map((g) => g.id)).toEqual([
    'wave',
    'envelope',
    'pitch',
    'vibrato',
    'change',
    'duty',
    'repeat',
    'phaser',
    'filters',
    'volume',
  ]);
  const names = groups.flatMap((g) => g.params.map((p) => p.name));
  expect([...names].sort()).toEqual([...quavix.PARAM_NAMES].sort());
  const envelope = groups.find((g) => g.id === 'envelope')!;
  expect(envelope.params.map((p) => p.name)).toEqual(['AttackTime', 'SustainTime', 'SustainPunch', 'DecayTime']);
  const sustain = envelope.params[1];
  // A stored 1 is 2.2675 seconds; the short unit and its words come from 'seconds'.
  expect([sustain.min, sustain.max, sustain.unit, sustain.unitWords]).toEqual([0, Math.fround(2.2675), 's', 'seconds']);
  expect(sustain.help).toMatch(/^[A-Z].*\.$/);
  const pitch = groups.find((g) => g.id === 'pitch')!.params;
  expect(pitch.filter((p) => p.frequency).map((p) => p.name)).toEqual(['StartFreq', 'MinFreq']);
  expect(groups.find((g) => g.id === 'change')!.title).toBe('Pitch jump');
});
