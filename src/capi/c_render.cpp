// Synthesis and the WAV image of the C API. The synthesizer's state lives on
// the stack of the render call; the sine is evaluated without a cache.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <utility>
#include <vector>

#include "capi/c_records.h"
#include "exchange/wave_image.h"
#include "synth/synthesizer.h"

using namespace quavix;
using namespace quavix::capi;

static_assert(sizeof(Synthesizer) <= 5 * 1024, "the render keeps its state on the stack");
static_assert(QUAVIX_WAV_HEADER_SIZE == kWaveHeaderSize);
static_assert(QUAVIX_MAX_BUFFER_SECONDS == kMaxBufferSeconds);
static_assert(2 * QUAVIX_SAMPLES_PER_BUFFER_SECOND == kBytesPerBufferSecond);

namespace {

#if defined(__wasm__)
// WebAssembly runs one call at a time: one sine cache serves every render,
// in the module's zeroed static memory (no bytes in the file), and makes sine
// waves as cheap there as in the tool. The samples are the same either way.
SineCache gSines;
#endif

std::int32_t Render(const quavix_params& params, quavix_random& random, std::int16_t* out,
                    std::int32_t maxSamples) {
  // A new synthesizer draws nothing: Synthesize's full restart is the first
  // draw from the caller's source.
  Synthesizer synth;
  synth.Params = ToCore(params);
#if defined(__wasm__)
  synth.Sines = &gSines;
#endif
  WithRandom(random, [&](RandomSource& core) { Synthesize(synth, maxSamples, out, core); });
  return synth.SampleCount;
}

bool ValidJob(const quavix_render_job& job) {
  return job.params != nullptr && job.random != nullptr &&
         (job.out != nullptr || job.max_samples <= 0);
}

// Whether two jobs draw from the same source.
bool SharesRandom(const quavix_render_job* jobs, std::size_t count) {
  std::vector<const quavix_random*> sources;
  sources.reserve(count);
  for (std::size_t i = 0; i < count; ++i) sources.push_back(jobs[i].random);
  std::sort(sources.begin(), sources.end(), std::less<>());
  return std::adjacent_find(sources.begin(), sources.end()) != sources.end();
}

int RenderMany(quavix_render_job* jobs, std::size_t count) {
  if (SharesRandom(jobs, count)) {
    for (std::size_t i = 0; i < count; ++i) {
      quavix_render_job& job = jobs[i];
      job.count = Render(*job.params, *job.random, job.out, job.max_samples);
    }
    return QUAVIX_OK;
  }
  std::vector<Synthesizer> synths(count);
  std::vector<RandomSource> sources(count);
  std::vector<SynthesisJob> work(count);
  for (std::size_t i = 0; i < count; ++i) {
    synths[i].Params = ToCore(*jobs[i].params);
    sources[i].State = jobs[i].random->state;
    work[i] = {&synths[i], &sources[i], jobs[i].out, jobs[i].max_samples};
  }
  SynthesizeInLanes(work.data(), count);
  for (std::size_t i = 0; i < count; ++i) {
    jobs[i].count = synths[i].SampleCount;
    jobs[i].random->state = sources[i].State;
  }
  return QUAVIX_OK;
}

}  // namespace

extern "C" {

int32_t quavix_render(const quavix_params* params, quavix_random* random, int16_t* out,
                      int32_t max_samples) {
  if (params == nullptr || random == nullptr || (out == nullptr && max_samples > 0)) {
    return QUAVIX_ERROR_ARGUMENT;
  }
  return Render(*params, *random, out, max_samples);
}

int quavix_render_many(quavix_render_job* jobs, size_t job_count) {
  if (jobs == nullptr && job_count > 0) return QUAVIX_ERROR_ARGUMENT;
  for (std::size_t i = 0; i < job_count; ++i) {
    if (!ValidJob(jobs[i])) return QUAVIX_ERROR_ARGUMENT;
  }
  return MemoryGuarded([&] { return RenderMany(jobs, job_count); });
}

int quavix_wav_header(const quavix_params* params, uint32_t data_bytes,
                      uint8_t header[QUAVIX_WAV_HEADER_SIZE]) {
  if (params == nullptr || header == nullptr) return QUAVIX_ERROR_ARGUMENT;
  if (!StandardFormat(*params)) return QUAVIX_ERROR_FIXED_FIELD;
  if (data_bytes > kMaxWavDataBytes || data_bytes % 2 != 0) return QUAVIX_ERROR_RANGE;
  const auto bytes = WaveHeader(ToCore(*params), data_bytes);
  std::memcpy(header, bytes.data(), bytes.size());
  return QUAVIX_OK;
}

size_t quavix_wav_buffer_size(uint32_t buffer_seconds) {
  return kWaveHeaderSize + WaveCapacityBytes(buffer_seconds);
}

int32_t quavix_render_wav(const quavix_params* params, quavix_random* random,
                          uint32_t buffer_seconds, uint8_t* out, size_t out_size) {
  if (params == nullptr || random == nullptr || out == nullptr) return QUAVIX_ERROR_ARGUMENT;
  if (!StandardFormat(*params)) return QUAVIX_ERROR_FIXED_FIELD;
  const std::uint32_t capacity = WaveCapacityBytes(buffer_seconds);
  if (out_size < kWaveHeaderSize + capacity) return QUAVIX_ERROR_BUFFER_TOO_SMALL;

  // The samples are synthesized in place behind the header. When that spot
  // is not 2-byte aligned they go one byte earlier, into the header's last
  // byte, and the image's writer moves them up.
  std::uint8_t* data = out + kWaveHeaderSize;
  std::uint8_t* area = reinterpret_cast<std::uintptr_t>(data) % alignof(std::int16_t) == 0 ? data
                                                                                         : data - 1;
  const std::int32_t count =
      Render(*params, *random, reinterpret_cast<std::int16_t*>(static_cast<void*>(area)),
             static_cast<std::int32_t>(capacity / 2));
  WriteWaveImage(out, ToCore(*params), reinterpret_cast<const std::int16_t*>(static_cast<const void*>(area)),
                 static_cast<std::size_t>(count));
  return static_cast<std::int32_t>(kWaveHeaderSize + 2 * static_cast<std::size_t>(count));
}

}  // extern "C"
