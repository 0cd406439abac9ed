/* Renders the Coin preset of seed 1 into a WAV file (default coin.wav). */
#include <quavix/quavix.h>
#include <stdio.h>

int main(int argc, char** argv) {
  static uint8_t wav[QUAVIX_WAV_HEADER_SIZE + 5 * 2 * QUAVIX_SAMPLES_PER_BUFFER_SECOND];
  quavix_params params;
  quavix_random random;
  quavix_random_seed(&random, 1);
  quavix_preset(&params, QUAVIX_PRESET_COIN, &random);
  int32_t bytes = quavix_render_wav(&params, &random, 5, wav, sizeof wav);
  if (bytes < 0) return fprintf(stderr, "%s\n", quavix_strerror(bytes)), 1;
  FILE* file = fopen(argc > 1 ? argv[1] : "coin.wav", "wb");
  return !file || fwrite(wav, 1, (size_t)bytes, file) != (size_t)bytes || fclose(file) != 0;
}
