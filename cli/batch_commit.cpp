// quavix batch, step 4: the commit. The folder is locked, the new files wait in
// a hidden staging folder, and then one sequence of renames puts the set in
// place, taking away the files of the set its earlier manifest listed; any
// failure or stop signal puts every old file back.
#include <fcntl.h>
#include <nettle/sha2.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string_view>
#include <unordered_set>

#include "batch_steps.h"
#include "cli_error.h"
#include "json_text.h"
#include "output_file.h"

namespace quavix::cli {
namespace {

std::atomic<int> gStopSignal{0};  // lock-free, so safe to set in a handler
extern "C" void NoteStopSignal(int signal) { gStopSignal = signal; }

// A name the earlier manifest may own: a plain file name in the folder, not
// the manifest itself nor one of the tool's hidden temporary files.
bool IsPlainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && !IsTemporaryName(name) &&
         name.find('/') == std::string::npos && name != "manifest.json" && !HasControlBytes(name);
}

bool IsSha256Hex(const std::string& text) {
  return text.size() == 2 * SHA256_DIGEST_SIZE &&
         text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

std::string HexOf(sha256_ctx& ctx) {
  std::uint8_t digest[SHA256_DIGEST_SIZE];
  sha256_digest(&ctx, SHA256_DIGEST_SIZE, digest);
  std::string hex;
  for (const std::uint8_t b : digest) {
    hex += "0123456789abcdef"[b >> 4];
    hex += "0123456789abcdef"[b & 15];
  }
  return hex;
}

// Reads from an earlier manifest.json only what the next batch needs: the
// generator and each sound's file, bytes and sha256. Nothing else is kept, so
// a huge manifest costs memory only for the names it lists.
class EarlierManifest : public nlohmann::json_sax<nlohmann::json> {
 public:
  bool Ours() const { return TopIsObject && Generator.starts_with("quavix "); }
  std::vector<EarlierFile> Listed;
  std::string Error;  // where the text stops being JSON

  bool null() override { return true; }
  bool boolean(bool) override { return true; }
  bool number_integer(number_integer_t) override { return true; }
  bool number_unsigned(number_unsigned_t n) override {
    if (InSound && SoundKey == "bytes" && n <= static_cast<number_unsigned_t>(INT64_MAX)) {
      Sound.Bytes = static_cast<std::int64_t>(n);
    }
    return true;
  }
  bool number_float(number_float_t, const string_t&) override { return true; }
  bool string(string_t& text) override {
    if (Depth == 1 && TopKey == "generator") Generator = text;
    if (InSound && Depth == 3 && SoundKey == "file") HasFile = true, Sound.Name = text;
    if (InSound && Depth == 3 && SoundKey == "sha256") Sound.Sha256 = text;
    return true;
  }
  bool binary(binary_t&) override { return true; }
  bool start_object(std::size_t) override {
    ++Depth;
    if (Depth == 1) TopIsObject = true;
    if (Depth == 3 && InSounds) InSound = true, HasFile = false, Sound = {}, SoundKey.clear();
    return true;
  }
  bool key(string_t& text) override {
    if (Depth == 1) TopKey = text;
    if (Depth == 3 && InSound) SoundKey = text;
    return true;
  }
  bool end_object() override {
    if (Depth == 3 && InSound) {
      if (HasFile) Listed.push_back(std::move(Sound));
      InSound = false;
    }
    --Depth;
    return true;
  }
  bool start_array(std::size_t) override {
    ++Depth;
    if (Depth == 2 && TopIsObject && TopKey == "sounds") InSounds = true;
    return true;
  }
  bool end_array() override {
    if (Depth == 2) InSounds = false;
    --Depth;
    return true;
  }
  bool parse_error(std::size_t position, const std::string&,
                   const nlohmann::json::exception&) override {
    Error = "it is not JSON from byte " + std::to_string(position);
    return false;
  }

 private:
  std::size_t Depth = 0;
  bool TopIsObject = false;
  std::string TopKey;
  std::string Generator;
  bool InSounds = false;
  bool InSound = false;
  bool HasFile = false;
  std::string SoundKey;
  EarlierFile Sound;
};

// Removes the folders a run made, innermost first, each only if it is empty.
void RemoveFolders(const std::vector<std::string>& folders) {
  for (auto it = folders.rbegin(); it != folders.rend(); ++it) rmdir(it->c_str());
}

// Makes the folder and each missing parent, as mkdir -p does; returns the
// folders made, outermost first. On a failure it removes them again.
std::vector<std::string> MakeFolders(const std::string& dir) {
  std::string bare = dir;
  while (bare.size() > 1 && bare.back() == '/') bare.pop_back();
  std::vector<std::string> missing;
  struct stat st {};
  for (std::string at = bare; lstat(at.c_str(), &st) != 0 && errno == ENOENT && FolderOf(at) != at;
       at = FolderOf(at)) {
    missing.push_back(at);
  }
  std::vector<std::string> made;
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    if (mkdir(it->c_str(), 0777) == 0) {
      made.push_back(*it);
    } else if (errno != EEXIST) {  // "a/.." names a folder made just before
      const int error = errno;
      RemoveFolders(made);
      const std::string dangling = DanglingLinkIn(dir);
      ThrowFailure("cannot create the folder " + EchoPath(dir) + ": " +
                   (dangling.empty() ? std::strerror(error) : dangling));
    }
  }
  const auto refuse = [&](const std::string& why) {
    RemoveFolders(made);
    ThrowFailure("cannot write into " + EchoPath(dir) + ": " + why);
  };
  if (stat(bare.c_str(), &st) == 0) {
    if (!S_ISDIR(st.st_mode)) refuse("it exists and is not a folder");
  } else if (errno == ENOENT && lstat(bare.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    refuse("it is a symbolic link to " + EchoPath(ResolveTarget(bare)) + ", which does not exist");
  } else {
    const int error = errno;
    RemoveFolders(made);
    ThrowFailure("cannot create the folder " + EchoPath(dir) + ": " + std::strerror(error));
  }
  return made;
}

}  // namespace

struct StopSignals::Saved {
  struct sigaction Int {};
  struct sigaction Term {};
};

StopSignals::StopSignals() : Old(new Saved) {
  gStopSignal = 0;
  struct sigaction action {};
  action.sa_handler = NoteStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, &Old->Int);
  sigaction(SIGTERM, &action, &Old->Term);
}

StopSignals::~StopSignals() {
  sigaction(SIGINT, &Old->Int, nullptr);
  sigaction(SIGTERM, &Old->Term, nullptr);
  delete Old;
}

bool StopRequested() { return gStopSignal != 0; }

void ThrowStopped(const std::string& dir) {
  const int signal = gStopSignal.load();
  throw CliError{128 + signal, std::string("interrupted by ") + (signal == SIGINT ? "SIGINT" : "SIGTERM") +
                                   "; nothing in " + EchoPath(dir) + " was changed"};
}

BatchFolder::BatchFolder(const std::string& dir) : Dir(dir) {
  Created = MakeFolders(dir);
  Slash = dir.back() == '/' ? dir : dir + "/";
  try {
    // The lock is the folder's own: no lock file is left in it.
    LockFd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (LockFd < 0) Fail("cannot open the folder " + EchoPath(dir) + ": " + std::strerror(errno));
    if (flock(LockFd, LOCK_EX | LOCK_NB) != 0) {
      Fail(errno == EWOULDBLOCK
               ? "another quavix batch is writing into " + EchoPath(dir) + "; wait until it ends"
               : "cannot lock the folder " + EchoPath(dir) + ": " + std::strerror(errno));
    }
    RemoveStaleTemporaries(dir);
    for (std::string* folder : {&Stage, &Old}) {
      const std::string path = Slash + TemporaryPrefix() + (folder == &Stage ? "batch/" : "old/");
      if (mkdir(path.c_str(), 0700) != 0)
        Fail("cannot write into " + EchoPath(dir) + ": " + std::strerror(errno));
      *folder = path;
    }
  } catch (...) {
    Release();
    throw;
  }
}

BatchFolder::~BatchFolder() {
  Release();
}

void BatchFolder::Release() noexcept {
  std::error_code ec;
  for (const std::string* folder : {&Stage, &Old}) {
    if (!folder->empty()) std::filesystem::remove_all(*folder, ec);
  }
  if (LockFd >= 0) close(LockFd);
  LockFd = -1;
  if (!Kept) RemoveFolders(Created);
}

void BatchFolder::Fail(const std::string& message) const {
  throw CliError{kExitFailure, message + "; nothing in " + EchoPath(Dir) + " was changed"};
}

void BatchFolder::ReadsFrom(const char* option, const std::string& path) {
  if (!path.empty() && path != "-") Inputs.push_back({option, path, IdentityOf(path)});
}

const BatchFolder::Input* BatchFolder::InputAt(const std::string& name) const {
  struct stat st {};
  if (Inputs.empty() || lstat(TargetPath(name).c_str(), &st) != 0) return nullptr;  // a new file is no input
  const FileIdentity target{st.st_dev, st.st_ino, ""};
  for (const Input& input : Inputs) {
    if (input.Identity == target) return &input;
  }
  return nullptr;
}

void BatchFolder::CheckTarget(const std::string& name) const {
  if (const Input* input = InputAt(name)) {
    Fail("cannot write " + EchoPath(TargetPath(name)) + ": it is the file of " + input->Option + " " +
         EchoPath(input->Path) + ", which this batch reads");
  }
  struct stat st {};
  if (lstat(TargetPath(name).c_str(), &st) != 0 || S_ISREG(st.st_mode)) return;
  Fail("cannot write " + EchoPath(TargetPath(name)) + ": " +
       (S_ISDIR(st.st_mode) ? std::string(std::strerror(EISDIR)) : "it exists and is not a regular file"));
}

std::string Sha256Hex(const std::uint8_t* data, std::size_t size) {
  sha256_ctx ctx;
  sha256_init(&ctx);
  sha256_update(&ctx, size, data);
  return HexOf(ctx);
}

std::vector<EarlierFile> BatchFolder::EarlierSetBeyond(const std::vector<std::string>& names,
                                                       EarlierOutcome& outcome) const {
  std::vector<EarlierFile> earlier;
  struct stat st {};
  const std::string manifestPath = TargetPath("manifest.json");
  if (lstat(manifestPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return earlier;
  // A batch of 1,000,000 sounds with a long recipe in each command stays below this.
  constexpr std::uint64_t kLargestManifest = std::uint64_t{2048} << 20;
  if (static_cast<std::uint64_t>(st.st_size) > kLargestManifest) {
    outcome.Unread = "it is larger than " + std::to_string(kLargestManifest >> 20) +
                     " MiB, the most a batch's manifest may be";
    return earlier;
  }
  std::ifstream in(manifestPath, std::ios::binary);
  if (!in) {
    outcome.Unread = std::strerror(errno);
    return earlier;
  }
  EarlierManifest manifest;
  if (!nlohmann::json::sax_parse(in, &manifest)) {
    outcome.Unread = manifest.Error;
    return earlier;
  }
  // Only a manifest this tool wrote owns files.
  if (!manifest.Ours()) return earlier;
  // Hash sets keep a rerun over a large earlier set linear in the two sets' sizes.
  const std::unordered_set<std::string_view> targets(names.begin(), names.end());
  std::unordered_set<std::string> listed;
  for (EarlierFile& file : manifest.Listed) {
    if (!IsPlainName(file.Name) || targets.contains(file.Name) ||
        !listed.insert(file.Name).second || InputAt(file.Name) != nullptr) {
      continue;
    }
    if (file.Bytes >= 0 && IsSha256Hex(file.Sha256)) {
      earlier.push_back(std::move(file));
    } else if (lstat(TargetPath(file.Name).c_str(), &st) == 0) {
      outcome.Kept.emplace_back(file.Name, KeptBecause::Unrecorded);
    }
  }
  return earlier;
}

namespace {

// Why a file of the earlier set, as lstat found it, is not the regular file its
// manifest recorded: the size is checked first, the SHA-256 only when the size
// matches. Nothing when it is that file.
std::optional<KeptBecause> WhyKept(const std::string& path, const EarlierFile& file,
                                   const struct stat& identity) {
  if (!S_ISREG(identity.st_mode)) return KeptBecause::NotAFile;
  if (identity.st_size != file.Bytes) return KeptBecause::Changed;
  const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return errno == ELOOP ? KeptBecause::NotAFile : KeptBecause::Unreadable;
  sha256_ctx ctx;
  sha256_init(&ctx);
  std::vector<std::uint8_t> chunk(1 << 16);
  std::int64_t total = 0;
  bool readable = true;
  for (;;) {
    const ssize_t n = read(fd, chunk.data(), chunk.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) readable = false;
    if (n <= 0) break;
    sha256_update(&ctx, static_cast<std::size_t>(n), chunk.data());
    total += n;
  }
  struct stat now {};
  const bool same = fstat(fd, &now) == 0 && S_ISREG(now.st_mode) && now.st_dev == identity.st_dev &&
                    now.st_ino == identity.st_ino;
  close(fd);
  if (!readable) return KeptBecause::Unreadable;
  if (!same) return KeptBecause::NotAFile;
  if (total != file.Bytes || HexOf(ctx) != file.Sha256) return KeptBecause::Changed;
  return std::nullopt;
}

}  // namespace

bool BatchFolder::CommitAll(const std::vector<std::string>& names,
                            const std::vector<EarlierFile>& earlier, EarlierOutcome& outcome,
                            std::string& error) {
  enum class Step { Added, Replaced, Removed };
  std::vector<std::pair<std::string, Step>> done;
  const auto rollback = [&] {
    for (auto it = done.rbegin(); it != done.rend(); ++it) {
      if (it->second == Step::Added) {
        unlink(TargetPath(it->first).c_str());
      } else {
        std::rename(OldPath(it->first).c_str(), TargetPath(it->first).c_str());
      }
    }
  };
  for (const std::string& name : names) {
    const std::string target = TargetPath(name);
    struct stat old {};
    const bool hadOld = lstat(target.c_str(), &old) == 0;
    if (hadOld) {
      chmod(StagedPath(name).c_str(), old.st_mode & 07777);
      if (lchown(StagedPath(name).c_str(), old.st_uid, old.st_gid) != 0) {
        [[maybe_unused]] const int ignored = lchown(StagedPath(name).c_str(), static_cast<uid_t>(-1), old.st_gid);
      }
      if (link(target.c_str(), OldPath(name).c_str()) != 0) {
        error = "cannot keep the old " + EchoPath(target) + ": " + std::strerror(errno);
        rollback();
        return false;
      }
    }
    if (std::rename(StagedPath(name).c_str(), target.c_str()) != 0) {
      error = "cannot write " + EchoPath(target) + ": " + std::strerror(errno);
      if (hadOld) unlink(OldPath(name).c_str());
      rollback();
      return false;
    }
    done.emplace_back(name, hadOld ? Step::Replaced : Step::Added);
    if (StopRequested()) {
      rollback();
      return false;
    }
  }
  for (const EarlierFile& file : earlier) {
    const std::string target = TargetPath(file.Name);
    struct stat checked {};
    if (lstat(target.c_str(), &checked) != 0) {
      if (errno != ENOENT) outcome.Kept.emplace_back(file.Name, KeptBecause::Unreadable);
      continue;  // or already gone
    }
    if (const std::optional<KeptBecause> why = WhyKept(target, file, checked)) {
      outcome.Kept.emplace_back(file.Name, *why);
      continue;
    }
    if (std::rename(target.c_str(), OldPath(file.Name).c_str()) != 0) {
      error = "cannot remove the earlier set's " + EchoPath(target) + ": " + std::strerror(errno);
      rollback();
      return false;
    }
    done.emplace_back(file.Name, Step::Removed);
    struct stat moved {};
    if (lstat(OldPath(file.Name).c_str(), &moved) != 0 || moved.st_dev != checked.st_dev ||
        moved.st_ino != checked.st_ino) {
      // Another file took its place between the check and the move: it goes back.
      if (renameat2(AT_FDCWD, OldPath(file.Name).c_str(), AT_FDCWD, target.c_str(),
                    RENAME_NOREPLACE) != 0) {
        error = EchoPath(target) + " changed while this batch took it away";
        rollback();
        return false;
      }
      done.pop_back();
      outcome.Kept.emplace_back(file.Name, KeptBecause::Changed);
      continue;
    }
    outcome.Removed.push_back(file.Name);
    if (StopRequested()) {
      rollback();
      return false;
    }
  }
  Kept = true;
  return true;
}

}  // namespace quavix::cli
