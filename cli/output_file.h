// Output that appears whole or not at all, and never destroys what it should
// not: a regular file (or a missing one) is written to an unnamed temporary
// file in the target's folder and then put in place by one rename, keeping the
// replaced file's mode and, where allowed, its owner; a symlink is followed and
// its target replaced; a device, FIFO or other special file is written to
// directly.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace quavix::cli {

// The path a write lands on: symlinks followed (a dangling one included).
std::string ResolveTarget(const std::string& path);

// "'out' is a symbolic link to 'x', which does not exist" for the first part of
// a path that is a dangling symlink; "" when none is.
std::string DanglingLinkIn(const std::string& path);

// What a path names: the file's device and inode, or for a missing file its
// folder's device and inode and its name. Two paths with equal identities
// are the same file, however they are spelled.
struct FileIdentity {
  dev_t Device = 0;
  ino_t Inode = 0;
  std::string Name;  // empty when the file exists
  bool operator==(const FileIdentity&) const = default;
};
FileIdentity IdentityOf(const std::string& path);

// A file's future content, ready to be put in place.
struct StagedFile {
  std::string Target;  // the resolved target
  int Fd = -1;         // the unnamed (or hidden named) temporary file, or the special file itself
  std::string Temp;    // name of a named temporary file; empty for an unnamed one
  bool Direct = false; // a special file, already written
};

// Writes the bytes to a new temporary file beside target (or directly to a
// special file). Failure: a CliError with exit status 1 naming the file and
// the reason, and no temporary file left behind.
StagedFile StageFile(const std::string& target, const std::uint8_t* data, std::size_t size);

// Puts the temporary file in place (failure: status 1, the target unchanged).
void CommitFile(StagedFile& file);

// Writes a file that does not exist yet into a folder that only this process
// writes to (a batch's staging folder), where it needs no temporary name of its
// own. Failure: a CliError with exit status 1 naming the file and the reason,
// and no file left behind.
void WriteNewFile(const std::string& path, const std::uint8_t* data, std::size_t size);

// Drops the temporary file; never fails.
void DiscardFile(StagedFile& file);

// Stages every file, then commits them all; when one cannot be staged none is
// committed.
struct FileContent {
  std::string Target;
  const std::uint8_t* Data;  // not owned: the bytes live until the write ends
  std::size_t Size;
};
void WriteFilesTogether(const std::vector<FileContent>& files);

// Removes the tool's hidden temporary files and staging folders in folder
// whose owner process has gone (left by a process that was killed).
void RemoveStaleTemporaries(const std::string& folder);

// The hidden name prefix of this process's temporary files and staging folders.
std::string TemporaryPrefix();

// Whether a file name starts as the tool's temporary files do (whichever
// process made them), which a later run may take away.
bool IsTemporaryName(const std::string& name);

// Flushes an output stream such as stdout; status 1 with the reason when it fails.
void FlushOrThrow(std::ostream& out);

// Writes the bytes to an output stream such as stdout; status 1 when the stream fails.
void WriteToStream(std::ostream& out, const std::uint8_t* data, std::size_t size);

// How much of a file one use reads. Without a Kind only the first Bytes
// matter, and the rest is left unread; with one, a file longer than Bytes is
// refused as larger than the most a Kind ("a project file") may be.
struct ReadLimit {
  std::size_t Bytes;
  const char* Kind = nullptr;
};

// A settings file's use: its first 105 bytes, and enough beyond them to tell
// what another file is.
inline constexpr ReadLimit kSettingsFileRead{std::size_t{1} << 16};

// Reads a file ("-" reads stdin) up to its limit; status 1 naming the file and
// the reason, or saying that the file is larger than the limit allows.
std::vector<std::uint8_t> ReadWholeFile(const std::string& path, const ReadLimit& limit);

// The folder part of a path ("." for a bare name) and the last part.
std::string FolderOf(const std::string& path);
std::string BaseNameOf(const std::string& path);

}  // namespace quavix::cli
