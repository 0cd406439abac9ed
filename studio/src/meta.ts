// What the Studio shows for each of the 24 parameters: its group, label,
// slider range in the users' unit, and a one-line explanation.

export interface ParamMeta {
  name: string;
  label: string;
  /** Slider range in the users' unit (seconds, cycles/s, repeats/s, or as stored). */
  min: number;
  max: number;
  unit: string;
  help: string;
}

export interface ParamGroup {
  id: string;
  title: string;
  params: ParamMeta[];
}

const longestTime = 2.2675; // seconds at the stored 1
// prettier-ignore
const p = (name: string, label: string, min: number, max: number, unit: string, help: string): ParamMeta => ({
  name, label, min, max, unit, help,
});

// prettier-ignore
export const GROUPS: ParamGroup[] = [
  { id: 'wave', title: 'Wave', params: [
    p('WaveType', 'Wave type', 0, 3, '', 'The shape of the oscillator; any other number than 0 to 3 makes silence.'),
  ] },
  { id: 'envelope', title: 'Envelope', params: [
    p('AttackTime', 'Attack time', 0, longestTime, 's', 'Time to rise from silence to full level.'),
    p('SustainTime', 'Sustain time', 0, longestTime, 's', 'Time held at full level.'),
    p('SustainPunch', 'Sustain punch', 0, 1, '', 'The sustain starts louder by 1 + 2 x punch and falls back: a percussive hit.'),
    p('DecayTime', 'Decay time', 0, longestTime, 's', 'Time to fade out to silence.'),
  ] },
  { id: 'pitch', title: 'Pitch', params: [
    p('StartFreq', 'Start frequency', 0, 1, '', 'The starting pitch, about 3528 x value\u00b2 + 3.5 Hz.'),
    p('MinFreq', 'Minimum frequency', 0, 1, '', 'A pitch floor: a falling pitch that reaches it ends the sound; 0 is none.'),
    p('Slide', 'Slide', -1, 1, '', 'Continuous pitch slide: positive rises, negative falls.'),
    p('DeltaSlide', 'Delta slide', -1, 1, '', 'Bends the slide over time: positive upwards, negative downwards.'),
  ] },
  { id: 'vibrato', title: 'Vibrato', params: [
    p('VibDepth', 'Vibrato depth', 0, 1, '', 'Width of the pitch wobble; 0 turns vibrato off.'),
    p('VibSpeed', 'Vibrato speed', 0, 70, 'cycles/s', 'Rate of the wobble.'),
  ] },
  { id: 'change', title: 'Pitch jump', params: [
    p('ChangeAmount', 'Jump amount', -1, 1, '', 'Size of a one-time jump in pitch: positive up, negative down.'),
    p('ChangeSpeed', 'Jump time', 0, 0.4535, 's', 'When the jump happens after the start or a repeat; 0 is never.'),
  ] },
  { id: 'duty', title: 'Square duty', params: [
    p('SquareDuty', 'Square duty', 0, 1, '', 'Square wave only: 0 is an even square, towards 1 the pulse narrows.'),
    p('DutySweep', 'Square duty sweep', -1, 1, '', 'Changes the duty over time: positive narrows, negative widens.'),
  ] },
  { id: 'repeat', title: 'Repeat', params: [
    p('RepeatSpeed', 'Repeat speed', 0, 60, 'repeats/s', 'Restarts the pitch this often while the envelope goes on; 0 is off.'),
  ] },
  { id: 'phaser', title: 'Phaser', params: [
    p('PhaserOffset', 'Phaser offset', -1, 1, '', 'Mixes in a delayed copy (up to 3 ms): a hollow, flanged colour.'),
    p('PhaserSweep', 'Phaser sweep', -1, 1, '', 'Moves the delay over time, for a swoosh.'),
  ] },
  { id: 'filters', title: 'Filters', params: [
    p('LPCutoff', 'Low-pass cutoff', 0, 1, '', 'Lower is duller and softer; exactly 1 turns the filter off.'),
    p('LPCutoffSweep', 'Low-pass sweep', -1, 1, '', 'Opens (positive) or closes (negative) the low-pass over time.'),
    p('LPResonance', 'Low-pass resonance', 0, 1, '', 'Emphasis at the cutoff: higher rings and whistles.'),
    p('HPCutoff', 'High-pass cutoff', 0, 1, '', 'Higher removes more of the bass, for a thinner sound.'),
    p('HPCutoffSweep', 'High-pass sweep', -1, 1, '', 'Raises (positive) or lowers (negative) the high-pass over time.'),
  ] },
  { id: 'volume', title: 'Volume', params: [
    p('Volume', 'Volume', 0, 2, '', 'Loudness, proportional; loud sounds clip at +-32000.'),
  ] },
];

export const WAVE_NAMES = ['Square', 'Sawtooth', 'Sine', 'Noise'];
export const FAMILY_LABELS = ['Coin', 'Laser', 'Explosion', 'Powerup', 'Hurt', 'Jump', 'Blip'];

/** Subsamples of one oscillator period for a stored frequency (at least 8), as the synthesis cuts it. */
export function oscillatorPeriod(storedFreq: number): number {
  const f = Math.fround(storedFreq);
  const period = Math.trunc(Math.fround(100 / (f * f + 0.001)));
  return Number.isNaN(period) || period < 8 ? 8 : period;
}

/** The pitch in Hz that a stored frequency really sounds: 8 subsamples a sample at 44100 samples/s. */
export function pitchOf(storedFreq: number): number {
  return (8 * 44100) / oscillatorPeriod(storedFreq);
}
