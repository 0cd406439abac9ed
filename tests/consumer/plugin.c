/* A plug-in that links the static library: it exports its own entry only. */
#include <quavix/quavix.h>

int plugin_coin_length(void) {
  static int16_t samples[QUAVIX_MAX_SOUND_SAMPLES];
  return quavix_render_preset(QUAVIX_PRESET_COIN, 1, samples, QUAVIX_MAX_SOUND_SAMPLES);
}
