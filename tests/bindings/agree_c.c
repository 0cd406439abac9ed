/* The C library's answers to the agreement cases (see agreement.py): what a
 * careful C caller does, checking each value with the library before using it.
 * Seeds and buffer lengths arrive as whole numbers, as C callers pass them. */
#include <nettle/sha2.h>
#include <quavix/quavix.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static char* field(char** cursor) {
  char* start = *cursor;
  char* tab = strchr(start, '\t');
  if (tab) {
    *tab = '\0';
    *cursor = tab + 1;
  } else {
    *cursor = start + strlen(start);
  }
  return start;
}

/* A name as it appears in a message: at most 40 bytes, then "...". */
static void refuse(const char* name, const char* what, const char* text, const char* rule) {
  printf("%s\trefused\t%s '%.40s%s'%s%s\n", name, what, text, strlen(text) > 40 ? "..." : "",
         rule[0] ? ": " : "", rule);
}

static void answer(char* line) {
  char* cursor = line;
  const char* name = field(&cursor);
  const unsigned long seed = strtoul(field(&cursor), NULL, 10);
  const char* source = field(&cursor);
  char* sets = field(&cursor);
  const char* mutate = field(&cursor);
  const char* buffer = field(&cursor);

  quavix_random random;
  quavix_params params;
  const char* problem = "";
  quavix_random_seed(&random, (uint32_t)seed);
  quavix_params_default(&params);
  if (strncmp(source, "preset:", 7) == 0) {
    const int family = quavix_preset_family_of(source + 7);
    if (family < 0) {
      refuse(name, "unknown preset", source + 7, "");
      return;
    }
    quavix_preset(&params, family, &random);
  } else if (strcmp(source, "randomize") == 0) {
    quavix_randomize(&params, &random);
  } else if (strncmp(source, "csv:", 4) == 0) {
    int32_t bad_field = -1;
    if (quavix_settings_string_check(source + 4, &bad_field) != QUAVIX_OK) {
      refuse(name, "settings string", source + 4, "");
      return;
    }
    quavix_settings_string_import(&params, source + 4);
  }
  for (char* set = sets; *set;) {
    char* end = strchr(set, ';');
    if (end) *end = '\0';
    char* equals = strchr(set, '=');
    *equals = '\0';
    const int index = quavix_param_index(set);
    if (index < 0) {
      refuse(name, "unknown parameter", set, "");
      return;
    }
    const float value = strtof(equals + 1, NULL);
    if (quavix_param_check_user(index, value, &problem) != QUAVIX_OK) {
      refuse(name, set, equals + 1, problem);
      return;
    }
    quavix_param_set_user(&params, index, value);
    set = end ? end + 1 : set + strlen(set);
  }
  if (mutate[0]) {
    const float amount = strtof(mutate, NULL);
    if (quavix_mutate_check(amount, &problem) != QUAVIX_OK) {
      refuse(name, "mutate", mutate, problem);
      return;
    }
    quavix_mutate(&params, amount, &random);
  }
  const int32_t max =
      (int32_t)(buffer[0] ? strtoul(buffer, NULL, 10) : 5) * QUAVIX_SAMPLES_PER_BUFFER_SECOND;
  int16_t* samples = malloc(((size_t)max + 1) * sizeof *samples);
  const int32_t count = quavix_render(&params, &random, samples, max);
  struct sha256_ctx hash;
  uint8_t digest[SHA256_DIGEST_SIZE];
  sha256_init(&hash);
  for (int32_t i = 0; i < count; ++i) {
    const uint8_t bytes[2] = {(uint8_t)((uint16_t)samples[i] & 0xff),
                              (uint8_t)((uint16_t)samples[i] >> 8)};
    sha256_update(&hash, 2, bytes);
  }
  sha256_digest(&hash, sizeof digest, digest);
  free(samples);
  printf("%s\tok\t", name);
  for (size_t i = 0; i < sizeof digest; ++i) printf("%02x", digest[i]);
  printf("\n");
}

int main(int argc, char** argv) {
  if (argc != 2) return fprintf(stderr, "usage: agree_c CASES\n"), 2;
  FILE* cases = fopen(argv[1], "r");
  if (!cases) return perror(argv[1]), 1;
  static char line[1 << 20];
  while (fgets(line, sizeof line, cases)) {
    line[strcspn(line, "\n")] = '\0';
    answer(line);
  }
  fclose(cases);
  return 0;
}
