// Types of quavix.global.js, the build for a plain <script> tag: the global
// `quavix`. Name it in a program's types (`"types": ["quavix/global"]` in
// tsconfig.json, or `/// <reference types="quavix/global" />`); it needs the
// DOM library.
import type * as Api from './index.js';
import type * as Audio from './audio.js';
import type * as Play from './play.js';

declare global {
  /** The package's API, with quavix.play (play.js) and quavix.audio (audio.js). */
  const quavix: typeof Api & {
    /** The namespace of quavix/play; called, it plays as quavix.play.play does. */
    readonly play: typeof Play.play & typeof Play;
    /** The namespace of quavix/audio. */
    readonly audio: typeof Audio;
  };
}

export {};
