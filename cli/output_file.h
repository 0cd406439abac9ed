// Output that appears whole or not at all: each file is first written to a
// temporary file in the target's folder and then renamed over the target.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace quavix::cli {

// A temporary file that holds every byte of its future content.
struct StagedFile {
  std::string Target;
  std::string Temp;
};

// Writes the bytes to a new temporary file beside target. Failure: a CliError
// with exit status 1, and no temporary file left behind.
StagedFile StageFile(const std::string& target, const std::uint8_t* data, std::size_t size);

// Renames the temporary file over the target (failure: status 1, the temporary
// file is removed).
void CommitFile(const StagedFile& file);

// Removes the temporary file; never fails.
void DiscardFile(const StagedFile& file);

// Stages every file, then commits them all; when one cannot be staged none is
// committed and every temporary file is removed.
struct FileContent {
  std::string Target;
  const std::uint8_t* Data;  // not owned: the bytes live until the write ends
  std::size_t Size;
};
void WriteFilesTogether(const std::vector<FileContent>& files);

// Writes the bytes to an output stream such as stdout; status 1 when the stream fails.
void WriteToStream(std::ostream& out, const std::uint8_t* data, std::size_t size);

}  // namespace quavix::cli
