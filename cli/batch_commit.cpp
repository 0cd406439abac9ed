// quavix batch, step 4: the commit. The folder is locked, the new files wait in
// a hidden staging folder, and then one sequence of renames puts the set in
// place, taking away the files of the set its earlier manifest listed; any
// failure or stop signal puts every old file back.
#include <fcntl.h>
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

// A name the earlier manifest may own: a plain file name in the folder.
bool IsPlainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.front() != '.' &&
         name.find('/') == std::string::npos && name != "manifest.json" &&
         std::none_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
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
  std::error_code ec;
  Created = !std::filesystem::exists(dir, ec);
  std::filesystem::create_directories(dir, ec);
  if (ec || !std::filesystem::is_directory(dir, ec)) {
    const std::string dangling = DanglingLinkIn(dir);
    ThrowFailure("cannot create the folder " + EchoPath(dir) +
                 (!dangling.empty() ? ": " + dangling
                  : ec              ? ": " + ec.message()
                                    : ": not a folder"));
  }
  Slash = dir.back() == '/' ? dir : dir + "/";
  // The lock is the folder's own: no lock file is left in it.
  LockFd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (LockFd < 0) Fail("cannot open the folder " + EchoPath(dir) + ": " + std::strerror(errno));
  if (flock(LockFd, LOCK_EX | LOCK_NB) != 0) {
    Fail(errno == EWOULDBLOCK ? "another quavix batch is writing into " + EchoPath(dir) + "; wait until it ends"
                              : "cannot lock the folder " + EchoPath(dir) + ": " + std::strerror(errno));
  }
  RemoveStaleTemporaries(dir);
  Stage = Slash + TemporaryPrefix() + "batch/";
  if (mkdir(Stage.c_str(), 0700) != 0) Fail("cannot write into " + EchoPath(dir) + ": " + std::strerror(errno));
}

BatchFolder::~BatchFolder() {
  std::error_code ec;
  if (!Stage.empty()) std::filesystem::remove_all(Stage, ec);
  if (LockFd >= 0) close(LockFd);
  if (Created && !Kept) std::filesystem::remove(Dir, ec);  // only if it is empty again
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

// The largest manifest.json read back: a batch of 1,000,000 sounds with a long
// recipe in each command stays below it.
inline constexpr ReadLimit kManifestRead{std::size_t{2048} << 20, "a batch's manifest"};

std::vector<std::string> BatchFolder::EarlierSetBeyond(const std::vector<std::string>& names,
                                                       std::string* note) const {
  std::vector<std::string> earlier;
  struct stat st {};
  const std::string manifestPath = TargetPath("manifest.json");
  if (lstat(manifestPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return earlier;
  std::vector<std::uint8_t> bytes;
  std::string problem;
  try {
    bytes = ReadWholeFile(manifestPath, kManifestRead);
  } catch (const CliError& e) {
    problem = e.Message;
  }
  const nlohmann::json manifest =
      problem.empty()
          ? ParseJson({reinterpret_cast<const char*>(bytes.data()), bytes.size()}, problem)
          : nullptr;
  if (!problem.empty() && note != nullptr) {
    *note = (manifest.is_discarded() ? EchoPath(manifestPath) + " is not JSON (" + problem + ")"
                                     : problem) +
            ", so the files it lists are left alone";
  }
  // Only a manifest this tool wrote owns files.
  if (!manifest.is_object() || !manifest.contains("generator") || !manifest["generator"].is_string() ||
      !manifest["generator"].get<std::string>().starts_with("quavix ") || !manifest.contains("sounds") ||
      !manifest["sounds"].is_array()) {
    return earlier;
  }
  // Hash sets keep a rerun over a large earlier set linear in the two sets' sizes.
  const std::unordered_set<std::string_view> targets(names.begin(), names.end());
  std::unordered_set<std::string> listed;
  for (const nlohmann::json& sound : manifest["sounds"]) {
    if (!sound.is_object() || !sound.contains("file") || !sound["file"].is_string()) continue;
    const std::string file = sound["file"];
    if (!IsPlainName(file) || targets.contains(file) || !listed.insert(file).second ||
        InputAt(file) != nullptr) {
      continue;
    }
    if (lstat(TargetPath(file).c_str(), &st) == 0 && S_ISREG(st.st_mode)) earlier.push_back(file);
  }
  return earlier;
}

bool BatchFolder::CommitAll(const std::vector<std::string>& names, const std::vector<std::string>& earlier,
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
  for (const std::string& name : earlier) {
    if (std::rename(TargetPath(name).c_str(), OldPath(name).c_str()) != 0) {
      error = "cannot remove the earlier set's " + EchoPath(TargetPath(name)) + ": " + std::strerror(errno);
      rollback();
      return false;
    }
    done.emplace_back(name, Step::Removed);
    if (StopRequested()) {
      rollback();
      return false;
    }
  }
  Kept = true;
  return true;
}

}  // namespace quavix::cli
