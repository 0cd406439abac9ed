#include "exchange/settings_file_io.h"

#include <sys/stat.h>

#include <array>
#include <cstdio>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace quavix {
namespace {

bool IsDirectory(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && (info.st_mode & S_IFMT) == S_IFDIR;
}

// Pushes the file's bytes to the storage device before it replaces the target.
bool SyncToDisk(std::FILE* file) {
#ifdef _WIN32
  return ::_commit(::_fileno(file)) == 0;
#else
  return ::fsync(::fileno(file)) == 0;
#endif
}

// Renames source over target, replacing an existing target.
bool ReplaceTarget(const std::string& source, const std::string& target) {
#ifdef _WIN32
  return ::MoveFileExA(source.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
  return std::rename(source.c_str(), target.c_str()) == 0;
#endif
}

}  // namespace

SettingsLoadResult LoadSettingsFile(SynthParams& params, const std::string& path) {
  if (path.empty() || IsDirectory(path)) {
    return SettingsLoadResult::CannotOpen;
  }
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    return SettingsLoadResult::CannotOpen;
  }
  // The longest version has 105 bytes; anything after them is ignored.
  std::array<std::uint8_t, kSettingsFileSize> bytes{};
  std::size_t size = 0;
  while (size < bytes.size()) {
    const std::size_t got = std::fread(bytes.data() + size, 1, bytes.size() - size, file);
    if (got == 0) {
      break;  // end of file or a read error: what was read is the file
    }
    size += got;
  }
  std::fclose(file);
  return DecodeSettings(params, bytes.data(), size);
}

std::string SettingsTempPath(const std::string& path) { return path + ".tmp"; }

SettingsSaveResult SaveSettingsFile(const SynthParams& params, const std::string& path) {
  if (path.empty() || IsDirectory(path)) {
    return SettingsSaveResult::CannotWrite;
  }
  const std::string temp = SettingsTempPath(path);
  std::FILE* file = std::fopen(temp.c_str(), "wb");
  if (file == nullptr) {
    return SettingsSaveResult::CannotWrite;  // nothing was created
  }
  const auto bytes = EncodeSettings(params);
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  ok = std::fflush(file) == 0 && ok;
  ok = ok && SyncToDisk(file);
  ok = std::fclose(file) == 0 && ok;
  ok = ok && ReplaceTarget(temp, path);
  if (!ok) {
    std::remove(temp.c_str());
    return SettingsSaveResult::CannotWrite;
  }
  return SettingsSaveResult::Saved;
}

}  // namespace quavix
