// How a program uses the declarations. What must not compile is marked by an
// expect-error directive: the TypeScript compiler fails the test when such a
// line compiles (the directive is then unused) or when a correct line does not.
import * as quavix from 'quavix';
import type { ParamName, ParamsJSON, PresetFamily } from 'quavix';

await quavix.init();
await quavix.init(new URL('https://example.com/quavix.wasm'));
await quavix.init(new Uint8Array(8));
await quavix.init(Promise.resolve(new ArrayBuffer(8)));
// @ts-expect-error a number is no source
await quavix.init(42);

const rng = quavix.random(42);
const p = quavix.preset('coin', rng);
quavix.preset(3, rng);
const computed: number = Number('2');
quavix.preset(computed, rng); // checked at run time
// @ts-expect-error a family number beyond 6
quavix.preset(9, rng);
// @ts-expect-error a family number below 0
quavix.preset(-1, rng);
// @ts-expect-error a misspelt family
quavix.preset('coins', rng);
// @ts-expect-error a family is a name or a number
quavix.preset(true, rng);

p.set('SustainTime', 0.25).setStored('WaveType', 2);
p.get(7);
p.set(23, 0);
for (let i = 0; i < quavix.PARAM_NAMES.length; i++) p.stored(i);
// @ts-expect-error an index beyond 23
p.get(24);
// @ts-expect-error an index beyond 23
p.setStored(24, 1);
const name: ParamName = 'DecayTime';
p.stored(name);
// @ts-expect-error a misspelt parameter
p.set('SustainTme', 1);
// @ts-expect-error a misspelt parameter
p.get('volume ');
// @ts-expect-error a value is a number
p.set('Volume', '1');
// @ts-expect-error an unknown parameter name in a JSON object
quavix.fromJSON({ Pitch: 1 });
// @ts-expect-error a non-finite value is carried by its name, not any text
quavix.fromJSON({ Slide: 'nan' });

const data: ParamsJSON = p.toJSON();
const again = quavix.fromJSON(structuredClone(data));
again.equals(p);
quavix.fromJSON({ Slide: 'NaN', DeltaSlide: 'Infinity', Volume: 0.5 });

const result = quavix.render(p, rng, { bufferLength: 2 });
const samples: Int16Array = result.samples;
// @ts-expect-error a misspelt option
quavix.render(p, rng, { bufferLenght: 2 });
quavix.soundLengthBound(p);

const family: PresetFamily = quavix.PRESET_FAMILIES[0];
const info = quavix.paramInfo('StartFreq');
const unit: 'seconds' | 'cycles per second' | 'repeats per second' | '' = info.unit;
const infos = quavix.paramInfo();
infos[0].valid.max;
quavix.mutate(p, 0.1, rng);
// @ts-expect-error mutate needs its random source
quavix.mutate(p, 0.1);
quavix.wasmModule();

await quavix.initLayers();
const mix = quavix.renderLayers([{ params: p, random: rng }, { params: p, seed: 7, offset: 2205, gainDb: -9.5, muted: false }]);
const clipped: number = mix.clipped;
// @ts-expect-error a layer starts from a seed or a random source, not both
quavix.renderLayers([{ params: p, seed: 7, random: rng }]);
// @ts-expect-error a misspelt layer field
quavix.renderLayers([{ params: p, seed: 7, gain: 1 }]);

export { again, clipped, family, samples, unit };
