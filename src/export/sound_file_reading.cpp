#include "export/sound_file_reading.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <new>
#include <stdexcept>

namespace quavix::exporting {
namespace {

constexpr sf_count_t kFramesPerRead = 4096;

// The containers besides WAV, FLAC and Ogg that libsndfile's header reading is
// trusted with.
bool IsOtherFormatRead(int format) {
  switch (format & SF_FORMAT_TYPEMASK) {
    case SF_FORMAT_AIFF:
    case SF_FORMAT_AU:
    case SF_FORMAT_CAF:
    case SF_FORMAT_W64:
      return true;
    default:
      return false;
  }
}

struct Fd {
  int Value = -1;
  ~Fd() {
    if (Value >= 0) close(Value);
  }
};

struct SndFile {
  SNDFILE* Value = nullptr;
  ~SndFile() {
    if (Value != nullptr) sf_close(Value);
  }
};

bool Decode(SNDFILE* sf, const SF_INFO& info, double trimDb, SoundFileFigures& out, std::string& error) {
  std::optional<LoudnessMeter> meter;
  try {
    meter.emplace(info.channels, info.samplerate);
  } catch (const std::invalid_argument& e) {
    error = std::string("libsndfile reads ") + e.what();
    return false;
  }
  const auto width = static_cast<std::size_t>(info.channels);
  const double threshold = std::pow(10.0, trimDb / 20);
  std::vector<float> chunk(static_cast<std::size_t>(kFramesPerRead) * width);
  std::optional<std::uint64_t> first;
  std::uint64_t last = 0;
  for (;;) {
    const sf_count_t n = sf_readf_float(sf, chunk.data(), kFramesPerRead);
    if (n <= 0) break;
    const auto frames = static_cast<std::size_t>(n);
    for (std::size_t f = 0; f < frames; ++f) {
      for (std::size_t c = 0; c < width; ++c) {
        if (std::fabs(static_cast<double>(chunk[f * width + c])) >= threshold) {
          if (!first) first = out.Frames + f;
          last = out.Frames + f;
          break;
        }
      }
    }
    meter->Add(std::span<const float>(chunk.data(), frames * width));
    out.Frames += frames;
  }
  out.Level = meter->Finish();
  out.TrimmedFrames = first ? last + 1 - *first : 0;
  return true;
}

// An open sound file whose header is checked and which libsndfile decodes.
struct OpenSound {
  Fd File;
  SndFile Sound;
  SF_INFO Info{};
  SoundFileHeader Header;
};

bool Open(const std::string& path, OpenSound& open, std::string& error) {
  Fd& fd = open.File;
  fd.Value = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  struct stat st {};
  if (fd.Value < 0 || fstat(fd.Value, &st) != 0) {
    error = std::strerror(errno);
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    error = "it is not a regular file";
    return false;
  }
  const auto size = static_cast<std::uint64_t>(st.st_size);
  const ReadAt read = [&](std::uint64_t offset, std::uint8_t* into, std::size_t n) -> std::size_t {
    std::size_t got = 0;
    while (got < n) {
      const ssize_t r = pread(fd.Value, into + got, n - got, static_cast<off_t>(offset + got));
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) break;
      got += static_cast<std::size_t>(r);
    }
    return got;
  };
  const SoundFileHeader& header = open.Header = InspectSoundFile(read, size);
  if (!header.Problem.empty()) {
    error = header.Problem;
    return false;
  }
  if (lseek(fd.Value, 0, SEEK_SET) != 0) {
    error = std::strerror(errno);
    return false;
  }
  SF_INFO& info = open.Info;
  open.Sound.Value = sf_open_fd(fd.Value, SFM_READ, &info, SF_FALSE);
  if (open.Sound.Value == nullptr) {
    error = !header.Shortfall.empty() ? header.Shortfall + "; no frame can be decoded"
                                      : std::string("libsndfile cannot decode it (") + sf_strerror(nullptr) + ")";
    return false;
  }
  if (header.Kind == Container::Other) {
    if (!IsOtherFormatRead(info.format)) {
      error = "libsndfile reads it as a kind of file this tool does not read";
      return false;
    }
  }
  return true;
}

}  // namespace

bool MeasureSoundFile(const std::string& path, double trimDb, SoundFileFigures& out, std::string& error) {
  OpenSound open;
  if (!Open(path, open, error)) return false;
  const SF_INFO& info = open.Info;
  const SoundFileHeader& header = open.Header;
  SndFile& sf = open.Sound;
  out.Channels = info.channels;
  out.Rate = info.samplerate;
  out.Format = info.format;
  out.DeclaredFrames = header.DeclaredFrames;
  if (!Decode(sf.Value, info, trimDb, out, error)) return false;

  const bool flac = header.Kind == Container::Flac;
  if (header.DeclaredFrames && out.Frames < *header.DeclaredFrames) {
    if (out.Frames == 0) {
      error = "none of the " + std::to_string(*header.DeclaredFrames) +
              " frames its header declares can be decoded: it is cut short or damaged";
      return false;
    }
    out.Warnings.push_back(!header.Shortfall.empty()
                               ? header.Shortfall
                               : "only " + std::to_string(out.Frames) + " of the " +
                                     std::to_string(*header.DeclaredFrames) +
                                     " frames its header declares can be decoded: it is cut short or damaged");
  } else if (!header.Shortfall.empty()) {
    if (out.Frames == 0) {
      error = header.Shortfall + "; no frame can be decoded";
      return false;
    }
    out.Warnings.push_back(header.Shortfall);
  } else if (flac && out.Frames == 0 && header.HasAudioData) {
    error = "its audio frames cannot be decoded: they are damaged";
    return false;
  }
  return true;
}

bool ReadSoundFile(const std::string& path, double mostSeconds, DecodedSound& out, std::string& error) {
  OpenSound open;
  if (!Open(path, open, error)) return false;
  out.Channels = open.Info.channels;
  out.Rate = open.Info.samplerate;
  if (out.Channels <= 0 || out.Rate <= 0) {
    error = "libsndfile reads no channels or no rate in it";
    return false;
  }
  const auto width = static_cast<std::size_t>(out.Channels);
  const auto mostFrames = static_cast<std::size_t>(std::ceil(mostSeconds * out.Rate));
  std::vector<float> chunk(static_cast<std::size_t>(kFramesPerRead) * width);
  out.Samples.clear();
  out.TooLong = false;
  for (;;) {
    const sf_count_t n = sf_readf_float(open.Sound.Value, chunk.data(), kFramesPerRead);
    if (n <= 0) break;
    const auto frames = static_cast<std::size_t>(n);
    if (out.Samples.size() + frames > mostFrames) {
      out.TooLong = true;
      break;
    }
    for (std::size_t f = 0; f < frames; ++f) {
      double sum = 0;
      for (std::size_t c = 0; c < width; ++c) sum += static_cast<double>(chunk[f * width + c]);
      out.Samples.push_back(static_cast<float>(sum / static_cast<double>(width)));
    }
  }
  return true;
}

}  // namespace quavix::exporting
