// Test fixture helpers: a temporary directory that is removed afterwards, and files in it
// written and read back as raw bytes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace fx::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  // The directory as the installer names it (no trailing separator).
  std::string Name() const { return path_.string(); }
  std::string PathOf(const std::string& file) const { return (path_ / file).string(); }

  void Write(const std::string& file, const std::string& bytes) const;
  // The file's bytes, or nothing when it does not exist.
  std::optional<std::string> Read(const std::string& file) const;
  // The names of the entries in the directory, sorted.
  std::vector<std::string> List() const;

 private:
  std::filesystem::path path_;
};

// Holds a file open the way another process would, so that the installer finds it locked
// (POSIX: an flock on a descriptor of its own; Windows: a handle opened without sharing).
class FileHolder {
 public:
  explicit FileHolder(const std::string& path);
  ~FileHolder();
  FileHolder(const FileHolder&) = delete;
  FileHolder& operator=(const FileHolder&) = delete;
  bool Holding() const { return holding_; }

 private:
  std::intptr_t handle_ = -1;
  bool holding_ = false;
};

}  // namespace fx::test
