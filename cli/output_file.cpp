#include "output_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "cli_error.h"

namespace quavix::cli {
namespace {

std::atomic<unsigned> gTempCounter{0};
constexpr const char* kTempMark = ".quavix-tmp-";

[[noreturn]] void ThrowWriteError(const std::string& target, int error) {
  ThrowFailure("cannot write " + EchoPath(target) + ": " + std::strerror(error));
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

std::string Join(const std::string& folder, const std::string& name) {
  return folder == "." ? name : folder + (folder.back() == '/' ? "" : "/") + name;
}

std::string NamedTempFor(const std::string& folder) {
  return Join(folder, TemporaryPrefix() + std::to_string(gTempCounter.fetch_add(1)));
}

// Gives the temporary file the replaced file's mode and, where the system
// allows it, its owner and group.
void KeepModeAndOwner(int fd, const std::string& target) {
  struct stat old {};
  if (stat(target.c_str(), &old) != 0 || !S_ISREG(old.st_mode)) return;
  if (fchown(fd, old.st_uid, old.st_gid) != 0) {
    [[maybe_unused]] const int ignored = fchown(fd, static_cast<uid_t>(-1), old.st_gid);
  }
  fchmod(fd, old.st_mode & 07777);
}

// The owner process of a temporary name "<mark>PID-..." or "<mark>PID", or 0.
pid_t OwnerOf(const std::string& name, const std::string& mark) {
  if (name.rfind(mark, 0) != 0) return 0;
  const char* digits = name.c_str() + mark.size();
  char* end = nullptr;
  const long pid = std::strtol(digits, &end, 10);
  if (end == digits || pid <= 0 || (*end != '-' && *end != '\0')) return 0;
  return static_cast<pid_t>(pid);
}

}  // namespace

std::string TemporaryPrefix() { return kTempMark + std::to_string(getpid()) + "-"; }

bool IsTemporaryName(const std::string& name) {
  return name.starts_with(kTempMark);
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ResolveTarget(const std::string& path) {
  std::string current = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
    std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
    const ssize_t n = readlink(current.c_str(), link.data(), link.size());
    if (n < 0) return current;
    link.resize(static_cast<std::size_t>(n));
    current = link.front() == '/' ? link : Join(FolderOf(current), link);
  }
  ThrowWriteError(path, ELOOP);
}

std::string DanglingLinkIn(const std::string& path) {
  for (std::size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
    const std::string part = path.substr(0, end);
    struct stat st {};
    if (lstat(part.c_str(), &st) != 0) return "";  // missing: the parts after it are made
    if (S_ISLNK(st.st_mode) && stat(part.c_str(), &st) != 0 && errno == ENOENT) {
      std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
      const ssize_t n = readlink(part.c_str(), link.data(), link.size());
      link.resize(static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
      return EchoPath(part) + " is a symbolic link to " + EchoPath(link) + ", which does not exist";
    }
    if (end == std::string::npos) return "";
  }
}

FileIdentity IdentityOf(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) == 0) return {st.st_dev, st.st_ino, ""};
  const std::string target = ResolveTarget(path);
  if (stat(FolderOf(target).c_str(), &st) != 0) return {0, 0, target};
  return {st.st_dev, st.st_ino, BaseNameOf(target)};
}

StagedFile StageFile(const std::string& requested, const std::uint8_t* data, std::size_t size) {
  if (requested.empty() || requested.back() == '/') ThrowWriteError(requested, EISDIR);
  StagedFile file;
  file.Target = ResolveTarget(requested);
  struct stat st {};
  if (stat(file.Target.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    if (S_ISDIR(st.st_mode)) ThrowWriteError(requested, EISDIR);
    if (S_ISSOCK(st.st_mode)) ThrowFailure("cannot write " + EchoPath(requested) + ": it is a socket");
    // A device or FIFO: written in place, as a shell redirection would.
    file.Direct = true;
    file.Fd = open(file.Target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (file.Fd < 0) ThrowWriteError(requested, errno);
    const bool written = WriteAll(file.Fd, data, size);
    const int error = errno;
    close(file.Fd);
    file.Fd = -1;
    if (!written) ThrowWriteError(requested, error);
    return file;
  }
  const std::string folder = FolderOf(file.Target);
#ifdef O_TMPFILE
  file.Fd = open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
#endif
  if (file.Fd < 0) {
    // No unnamed files here: a hidden name that a later run removes once
    // this process has gone.
    file.Temp = NamedTempFor(folder);
    file.Fd = open(file.Temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (file.Fd < 0) {
      const int error = errno;
      file.Temp.clear();
      ThrowWriteError(requested, error);
    }
  }
  KeepModeAndOwner(file.Fd, file.Target);
  if (!WriteAll(file.Fd, data, size)) {
    const int error = errno;
    DiscardFile(file);
    ThrowWriteError(requested, error);
  }
  return file;
}

void CommitFile(StagedFile& file) {
  if (file.Direct) return;
  const auto fail = [&](int error) {
    DiscardFile(file);
    ThrowWriteError(file.Target, error);
  };
  if (file.Temp.empty()) {
    // Give the unnamed file a hidden name for the instant of the rename.
    const std::string named = NamedTempFor(FolderOf(file.Target));
    const std::string self = "/proc/self/fd/" + std::to_string(file.Fd);
    if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, named.c_str(), AT_SYMLINK_FOLLOW) != 0 &&
        linkat(file.Fd, "", AT_FDCWD, named.c_str(), AT_EMPTY_PATH) != 0) {
      fail(errno);
    }
    file.Temp = named;
  }
  if (close(file.Fd) != 0) {
    file.Fd = -1;
    fail(errno);
  }
  file.Fd = -1;
  if (std::rename(file.Temp.c_str(), file.Target.c_str()) != 0) fail(errno);
  file.Temp.clear();
}

void WriteNewFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666);
  if (fd < 0) ThrowWriteError(path, errno);
  const bool written = WriteAll(fd, data, size);
  int error = errno;
  const bool closed = close(fd) == 0;
  if (written && closed) return;
  if (written) error = errno;
  unlink(path.c_str());
  ThrowWriteError(path, error);
}

void DiscardFile(StagedFile& file) {
  if (file.Fd >= 0) close(file.Fd);
  file.Fd = -1;
  if (!file.Temp.empty()) unlink(file.Temp.c_str());
  file.Temp.clear();
}

void WriteFilesTogether(const std::vector<FileContent>& files) {
  std::vector<StagedFile> staged;
  try {
    for (const FileContent& f : files) staged.push_back(StageFile(f.Target, f.Data, f.Size));
    for (StagedFile& s : staged) CommitFile(s);
  } catch (const CliError&) {
    for (StagedFile& s : staged) DiscardFile(s);
    throw;
  }
}

void RemoveStaleTemporaries(const std::string& folder) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    const pid_t owner = OwnerOf(name, kTempMark);
    if (owner == 0 || owner == getpid()) continue;
    if (kill(owner, 0) == 0 || errno != ESRCH) continue;  // still running, or not ours to judge
    std::error_code ec;
    std::filesystem::remove_all(Join(folder, name), ec);
  }
  closedir(dir);
}

void FlushOrThrow(std::ostream& out) {
  out.flush();
  if (out) return;
  // The stream keeps no reason; the failed write left it in errno.
  const int error = errno;
  ThrowFailure(std::string("cannot write to standard output: ") +
               (error != 0 ? std::strerror(error) : "the output stream failed"));
}

void WriteToStream(std::ostream& out, const std::uint8_t* data, std::size_t size) {
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  FlushOrThrow(out);
}

std::vector<std::uint8_t> ReadWholeFile(const std::string& path, const ReadLimit& limit) {
  const bool fromStdin = path == "-";
  const std::string shown = fromStdin ? "standard input" : EchoPath(path);
  const int fd = fromStdin ? STDIN_FILENO : open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) ThrowFailure("cannot read " + shown + ": " + std::strerror(errno));
  std::vector<std::uint8_t> bytes;
  struct stat st {};
  int error = 0;
  const bool fstatOk = fstat(fd, &st) == 0;
  if (fstatOk && S_ISDIR(st.st_mode)) error = EISDIR;
  // A file whose whole content is wanted may hold one byte more than the
  // limit before it is refused; a regular file is refused by its size at once.
  const std::size_t most = limit.Kind != nullptr ? limit.Bytes + 1 : limit.Bytes;
  bool tooLarge = limit.Kind != nullptr && fstatOk && S_ISREG(st.st_mode) &&
                  static_cast<std::uint64_t>(st.st_size) > limit.Bytes;
  std::uint8_t chunk[4096];
  while (error == 0 && !tooLarge && bytes.size() < most) {
    const ssize_t n = read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) error = errno;
    if (n <= 0) break;
    bytes.insert(bytes.end(), chunk, chunk + std::min<std::size_t>(static_cast<std::size_t>(n), most - bytes.size()));
  }
  if (!fromStdin) close(fd);
  if (error != 0) ThrowFailure("cannot read " + shown + ": " + std::strerror(error));
  tooLarge = tooLarge || (limit.Kind != nullptr && bytes.size() > limit.Bytes);
  if (tooLarge) {
    ThrowFailure(shown + " is larger than " + std::to_string(limit.Bytes >> 20) + " MiB, the most " + limit.Kind +
                 " may be");
  }
  return bytes;
}

}  // namespace quavix::cli
