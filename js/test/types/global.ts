// A page's script that uses the global of quavix.global.js (no import: a script, not a module).
/// <reference types="quavix/global" />

quavix.init().then(async () => {
  const rng = quavix.random(1);
  const coin = quavix.render(quavix.preset('coin', rng), rng);
  const node: AudioBufferSourceNode = await quavix.play(coin);
  await quavix.play.play(coin.wav, new AudioContext());
  const rate: number = quavix.play.readWav(coin).sampleRate + quavix.play.HIGHEST_RATE;
  quavix.play.wavToAudioBuffer(new AudioContext(), coin);
  const cache = new quavix.audio.SoundCache(new AudioContext());
  cache.get({ preset: 'jump', seed: 3 }).play({ volume: 0.5 });
  await quavix.audio.renderInWorker({ settings: '1,,,0.3', seed: 2 });
  // @ts-expect-error a misspelt family
  quavix.preset('coins', rng);
  // @ts-expect-error quavix/play has no such call
  quavix.play.plays(coin);
  // @ts-expect-error quavix/audio has no such class
  new quavix.audio.SoundBank(new AudioContext());
  node.stop(rate);
});
