// Sounds in pieces: the stream, the length of a sound without writing it, the
// one-call preset render and the WAV image sized to its sound.
#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>

#include "capi/c_records.h"
#include "design/presets.h"
#include "exchange/wave_image.h"
#include "synth/synthesizer.h"

using namespace quavix;
using namespace quavix::capi;

namespace {

constexpr std::uint32_t kStarted = 0x51565853u;  // marks a started stream

struct StreamState {
  Synthesizer Synth;
  RandomSource Random;
  std::uint32_t Mark;
};

static_assert(sizeof(StreamState) <= QUAVIX_STREAM_SIZE && sizeof(quavix_stream) == QUAVIX_STREAM_SIZE);
static_assert(alignof(StreamState) <= alignof(quavix_stream));
static_assert(std::is_trivially_destructible_v<StreamState>);

// The stream's state, or nullptr for one never started.
StreamState* State(quavix_stream* stream) {
  auto* state = std::launder(reinterpret_cast<StreamState*>(stream->opaque));
  return state->Mark == kStarted ? state : nullptr;
}

void Start(StreamState* state, const quavix_params& params, const quavix_random& random) {
  state->Synth.Params = ToCore(params);
  state->Random = RandomSource{random.state};
  SynthesizeStart(state->Synth, state->Random);
  state->Mark = kStarted;
}

StreamState* Construct(quavix_stream* stream) {
  // A new synthesizer draws nothing; SynthesizeStart's restart draws from the stream's source.
  return new (stream->opaque) StreamState{Synthesizer{}, RandomSource{}, 0};
}

constexpr std::int32_t kPiece = 1024;
constexpr std::int32_t kMaxWavSamples = static_cast<std::int32_t>(kMaxWavDataBytes / 2);

}  // namespace

extern "C" {

size_t quavix_stream_size(void) { return sizeof(quavix_stream); }

int quavix_stream_start(quavix_stream* stream, const quavix_params* params,
                        const quavix_random* random) {
  if (stream == nullptr || params == nullptr || random == nullptr) return QUAVIX_ERROR_ARGUMENT;
  Start(Construct(stream), *params, *random);
  return QUAVIX_OK;
}

int32_t quavix_stream_render(quavix_stream* stream, int16_t* out, int32_t count) {
  if (stream == nullptr || (out == nullptr && count > 0)) return QUAVIX_ERROR_ARGUMENT;
  StreamState* state = State(stream);
  if (state == nullptr) return QUAVIX_ERROR_STREAM;
  if (count <= 0) return 0;
  return SynthesizeMore(state->Synth, count, out, state->Random);
}

int quavix_stream_random(const quavix_stream* stream, quavix_random* random) {
  if (stream == nullptr || random == nullptr) return QUAVIX_ERROR_ARGUMENT;
  const StreamState* state = State(const_cast<quavix_stream*>(stream));
  if (state == nullptr) return QUAVIX_ERROR_STREAM;
  random->state = state->Random.State;
  return QUAVIX_OK;
}

int32_t quavix_render_count(const quavix_params* params, const quavix_random* random,
                            int32_t max_samples) {
  if (params == nullptr || random == nullptr) return QUAVIX_ERROR_ARGUMENT;
  quavix_stream stream;
  StreamState* state = Construct(&stream);
  Start(state, *params, *random);
  std::int16_t piece[kPiece];
  std::int32_t total = 0;
  while (total < max_samples) {
    const std::int32_t want = max_samples - total < kPiece ? max_samples - total : kPiece;
    const std::int32_t got = SynthesizeMore(state->Synth, want, piece, state->Random);
    total += got;
    if (got < want) break;
  }
  return total;
}

int32_t quavix_render_preset(int32_t family, uint32_t seed, int16_t* out, int32_t max_samples) {
  quavix_params params;
  quavix_random random;
  quavix_random_seed(&random, seed);
  const int status = quavix_preset(&params, family, &random);
  if (status != QUAVIX_OK) return status;
  return quavix_render(&params, &random, out, max_samples);
}

int64_t quavix_wav_image(const quavix_params* params, quavix_random* random, int32_t max_samples,
                         uint8_t* out, size_t capacity) {
  if (params == nullptr || random == nullptr || (out == nullptr && capacity > 0)) {
    return QUAVIX_ERROR_ARGUMENT;
  }
  if (!StandardFormat(*params)) return QUAVIX_ERROR_FIXED_FIELD;
  if (max_samples > kMaxWavSamples) max_samples = kMaxWavSamples;
  quavix_stream stream;
  StreamState* state = Construct(&stream);
  Start(state, *params, *random);
  // Samples go out (in native order, for the image's writer) as long as they
  // fit; past that they are only counted.
  const std::size_t room = capacity > kWaveHeaderSize ? (capacity - kWaveHeaderSize) / 2 : 0;
  std::int16_t piece[kPiece];
  std::int32_t total = 0;
  while (total < max_samples) {
    const std::int32_t want = max_samples - total < kPiece ? max_samples - total : kPiece;
    const std::int32_t got = SynthesizeMore(state->Synth, want, piece, state->Random);
    if (static_cast<std::size_t>(total) + static_cast<std::size_t>(got) <= room) {
      std::memcpy(out + kWaveHeaderSize + 2 * static_cast<std::size_t>(total), piece,
                  2 * static_cast<std::size_t>(got));
    }
    total += got;
    if (got < want) break;
  }
  const std::size_t bytes = 2 * static_cast<std::size_t>(total);
  if (kWaveHeaderSize + bytes <= capacity) {
    WriteWaveImage(out, ToCore(*params),
                   reinterpret_cast<const std::int16_t*>(static_cast<const void*>(out + kWaveHeaderSize)),
                   static_cast<std::size_t>(total));
    random->state = state->Random.State;
  }
  return static_cast<int64_t>(kWaveHeaderSize + bytes);
}

}  // extern "C"
