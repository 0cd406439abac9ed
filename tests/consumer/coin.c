/* Renders the Coin preset of seed 1 into a WAV file (default coin.wav). */
#include <quavix/quavix.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
  quavix_params params;
  quavix_random random;
  quavix_random_seed(&random, 1);
  quavix_preset(&params, QUAVIX_PRESET_COIN, &random);
  size_t size = quavix_wav_buffer_size(5); /* the module's default 5 s buffer */
  uint8_t* wav = malloc(size);
  int32_t bytes = wav ? quavix_render_wav(&params, &random, 5, wav, size) : QUAVIX_ERROR_ARGUMENT;
  if (bytes < 0) return fprintf(stderr, "%s\n", quavix_strerror(bytes)), 1;
  FILE* file = fopen(argc > 1 ? argv[1] : "coin.wav", "wb");
  if (!file || fwrite(wav, 1, (size_t)bytes, file) != (size_t)bytes || fclose(file) != 0) return 1;
  free(wav);
  return 0;
}
