#include "output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli_error.h"

namespace quavix::cli {
namespace {

std::atomic<unsigned> gTempCounter{0};

std::string TempNameFor(const std::string& target) {
  const std::size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  return folder + "." + base + ".tmp-" + std::to_string(getpid()) + "-" +
         std::to_string(gTempCounter.fetch_add(1));
}

[[noreturn]] void ThrowWriteError(const std::string& target, int error) {
  ThrowFailure("cannot write '" + target + "': " + std::strerror(error));
}

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

StagedFile StageFile(const std::string& target, const std::uint8_t* data, std::size_t size) {
  if (target.empty() || target.back() == '/') ThrowWriteError(target, EISDIR);
  StagedFile file{target, TempNameFor(target)};
  const int fd = open(file.Temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) ThrowWriteError(target, errno);
  const bool written = WriteAll(fd, data, size);
  const int writeError = errno;
  const bool closed = close(fd) == 0;
  if (!written || !closed) {
    const int error = !written ? writeError : errno;
    unlink(file.Temp.c_str());
    ThrowWriteError(target, error);
  }
  return file;
}

void CommitFile(const StagedFile& file) {
  if (std::rename(file.Temp.c_str(), file.Target.c_str()) != 0) {
    const int error = errno;
    unlink(file.Temp.c_str());
    ThrowWriteError(file.Target, error);
  }
}

void DiscardFile(const StagedFile& file) { unlink(file.Temp.c_str()); }

void WriteFilesTogether(const std::vector<FileContent>& files) {
  std::vector<StagedFile> staged;
  try {
    for (const FileContent& f : files) staged.push_back(StageFile(f.Target, f.Data, f.Size));
  } catch (const CliError&) {
    for (const StagedFile& s : staged) DiscardFile(s);
    throw;
  }
  for (std::size_t i = 0; i < staged.size(); ++i) {
    try {
      CommitFile(staged[i]);
    } catch (const CliError&) {
      for (std::size_t j = i + 1; j < staged.size(); ++j) DiscardFile(staged[j]);
      throw;
    }
  }
}

void WriteToStream(std::ostream& out, const std::uint8_t* data, std::size_t size) {
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  out.flush();
  if (!out) ThrowFailure("cannot write to standard output");
}

}  // namespace quavix::cli
