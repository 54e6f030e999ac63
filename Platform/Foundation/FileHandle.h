// An open file: read, write, append, seek, truncate and sync through one
// descriptor. Failures return false/absent with an ns::Error of the POSIX
// domain (the file's path under kFilePathErrorKey). Calls on one handle are
// serialized, so a handle may be shared between threads.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/Value.h"

namespace ns {

class FileHandle {
 public:
  // Each opens an existing file (absent with the Cocoa file error when it
  // cannot be opened: kFileReadNoSuchFileError for a missing file). Writing
  // starts at offset 0 and neither truncates nor creates.
  static std::unique_ptr<FileHandle> forReading(const std::string& path, Error* error = nullptr);
  static std::unique_ptr<FileHandle> forWriting(const std::string& path, Error* error = nullptr);
  static std::unique_ptr<FileHandle> forUpdating(const std::string& path, Error* error = nullptr);
  // Takes ownership of `fd`.
  static std::unique_ptr<FileHandle> withFileDescriptor(int fd, std::string path = {});

  ~FileHandle();
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;

  // Up to `count` bytes from the offset; empty at the end of the file.
  std::optional<Data> readUpToCount(size_t count, Error* error = nullptr);
  std::optional<Data> readToEnd(Error* error = nullptr);
  // Writes everything at the offset, moving it.
  bool write(const Data& data, Error* error = nullptr);
  bool write(std::string_view text, Error* error = nullptr);
  // Moves to the end; returns the new offset.
  std::optional<uint64_t> seekToEnd(Error* error = nullptr);
  bool seek(uint64_t offset, Error* error = nullptr);
  std::optional<uint64_t> offset(Error* error = nullptr);
  // Cuts (or extends) the file to `size` and moves the offset there.
  bool truncate(uint64_t size, Error* error = nullptr);
  // Makes what was written durable (fsync).
  bool synchronize(Error* error = nullptr);
  // Later calls fail with EBADF.
  bool close(Error* error = nullptr);

  int fileDescriptor() const { return fd_; }
  const std::string& path() const { return path_; }

 private:
  FileHandle(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  static std::unique_ptr<FileHandle> open(const std::string& path, int flags, bool forWriting, Error* error);
  bool fail(int err, Error* error) const;

  mutable std::mutex mutex_;
  int fd_;
  std::string path_;
};

}  // namespace ns
