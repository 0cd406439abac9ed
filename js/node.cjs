// quavix for CommonJS programs on Node versions that cannot require() an ES
// module: init() imports node.js; every other export forwards to it and, like
// the ES module's calls, needs init() to have finished.
'use strict';

const NAMES = [
  'CLIP_LEVEL', 'MAX_LAYERS', 'PARAM_NAMES', 'PRESET_FAMILIES', 'Params', 'Random', 'SAMPLE_RATE', 'bufferSamples',
  'checkMutateAmount', 'checkSettingsString', 'checkUserValue', 'defaults', 'freqForPitch', 'freqHz', 'fromJSON',
  'fromSettingsString', 'initLayers', 'layersFromText', 'layersToText', 'mutate', 'paramInfo', 'paramUnit', 'pitchOf',
  'preset', 'random', 'randomize', 'readSfs', 'render', 'renderLayers',
  'soundLengthBound', 'startPeriod', 'toSettingsString', 'wasmModule', 'writeSfs',
];

let loaded = null; // node.js's namespace once init() has finished

function module() {
  if (loaded === null) throw new Error('quavix: call await init() first');
  return loaded;
}

exports.init = async function init(source) {
  const namespace = await import('./node.js');
  await namespace.init(source);
  loaded = namespace;
};

for (const name of NAMES) {
  if (/^[a-z]/.test(name)) {
    exports[name] = (...args) => module()[name](...args);
  } else { // the constants and classes, there once init() has finished
    Object.defineProperty(exports, name, { enumerable: true, get: () => module()[name] });
  }
}
