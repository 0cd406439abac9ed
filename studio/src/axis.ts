// The time axis under the waveform: round steps of 1, 2 or 5 times a power of ten seconds.

export interface TimeTicks {
  /** Seconds between ticks. */
  step: number;
  /** The ticks' times from 0 up to the end, in seconds. */
  ticks: number[];
  /** Decimals that show every tick exactly. */
  decimals: number;
}

/** At most `most` steps across `seconds` (at least one), each the smallest round step that keeps to it. */
export function timeTicks(seconds: number, most: number): TimeTicks {
  if (!(seconds > 0) || !Number.isFinite(seconds)) return { step: 0, ticks: [], decimals: 0 };
  const steps = Math.max(1, Math.floor(most));
  let power = Math.floor(Math.log10(seconds / steps));
  for (;;) {
    for (const m of [1, 2, 5]) {
      const step = m * 10 ** power;
      if (seconds / step <= steps + 1e-9) {
        const count = Math.floor(seconds / step + 1e-9);
        const decimals = Math.max(0, -power);
        const ticks = Array.from({ length: count + 1 }, (_, i) => Number((i * step).toFixed(decimals)));
        return { step: Number(step.toFixed(decimals)), ticks, decimals };
      }
    }
    power++;
  }
}
