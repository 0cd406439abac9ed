/* Makes the seven preset sounds at start-up and plays them one after another
 * with SDL_mixer. Build: cmake -S examples/sdl2 -B build/sdl2, or
 * cc main.c $(pkg-config --cflags --libs quavix SDL2_mixer). Optional argument: the seed. */
#include <SDL.h>
#include <SDL_mixer.h>
#include <quavix/quavix.h>
#include <stdio.h>
#include <stdlib.h>

#define SOUNDS 7

int main(int argc, char** argv) {
  static int16_t samples[SOUNDS][QUAVIX_MAX_SOUND_SAMPLES];
  Mix_Chunk* chunks[SOUNDS];
  uint32_t seed = argc > 1 ? (uint32_t)strtoul(argv[1], NULL, 10) : 1;
  if (SDL_Init(SDL_INIT_AUDIO) != 0) return fprintf(stderr, "%s\n", SDL_GetError()), 1;
  if (Mix_OpenAudio(QUAVIX_SAMPLE_RATE, AUDIO_S16SYS, 1, 1024) != 0) return 1;
  for (int family = QUAVIX_PRESET_COIN; family < SOUNDS; ++family) {
    int32_t count = quavix_render_preset(family, seed, samples[family], QUAVIX_MAX_SOUND_SAMPLES);
    if (count < 0) return fprintf(stderr, "%s\n", quavix_strerror(count)), 1;
    chunks[family] = Mix_QuickLoad_RAW((Uint8*)samples[family], (Uint32)count * 2);
  }
  for (int family = QUAVIX_PRESET_COIN; family < SOUNDS; ++family) {
    Mix_PlayChannel(0, chunks[family], 0);
    while (Mix_Playing(0)) SDL_Delay(5);
  }
  SDL_Delay(200); /* the device takes its last buffer */
  for (int family = 0; family < SOUNDS; ++family) Mix_FreeChunk(chunks[family]);
  Mix_CloseAudio();
  SDL_Quit();
  return 0;
}
