// A file or a directory tree held in memory: what a document package (such
// as an RTFD directory) is made of before it is written and after it is read.
// Writing with kFileWrapperWritingAtomic builds the whole tree beside the
// destination under a hidden name and moves it into place in one step, so a
// reader never sees half a package and an old package is replaced whole.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/URL.h"
#include "Platform/Foundation/Value.h"

namespace ns {

inline constexpr uint32_t kFileWrapperWritingAtomic = 1;
inline constexpr uint32_t kFileWrapperWritingWithNameUpdating = 2;

class FileWrapper {
 public:
  // A regular file holding `contents`.
  static FileWrapper regularFile(Data contents, std::string preferredFilename = {});
  // A directory holding `children`, keyed by their file names.
  static FileWrapper directory(std::map<std::string, FileWrapper> children = {},
                               std::string preferredFilename = {});
  // Reads the file or directory at `path` (directories recursively, hidden
  // entries included). Symbolic links are not followed: links below `path`
  // are left out, and `path` itself being one is an error. Errors of the
  // Cocoa domain (260 no such file, 257 no permission, 256 otherwise) with
  // the POSIX error underneath.
  static std::optional<FileWrapper> read(const std::string& path, Error* error = nullptr);
  static std::optional<FileWrapper> read(const URL& url, Error* error = nullptr) {
    return read(url.path(), error);
  }

  bool isDirectory() const { return directory_; }
  bool isRegularFile() const { return !directory_; }

  const std::string& preferredFilename() const { return preferredFilename_; }
  void setPreferredFilename(std::string name) { preferredFilename_ = std::move(name); }
  // The name it was read from or last written as; empty before that.
  const std::string& filename() const { return filename_; }

  // Regular files only (empty for a directory).
  const Data& regularFileContents() const { return contents_; }
  // Directories only (empty for a regular file).
  const std::map<std::string, FileWrapper>& fileWrappers() const { return children_; }
  // Adds a child under its preferred name, made unique within this
  // directory ("name 2.png" style) when taken; returns the name used.
  std::string addFileWrapper(FileWrapper child);
  std::string addRegularFile(Data contents, const std::string& preferredFilename);

  // Writes the wrapper at `path`, replacing whatever is there. The
  // original-contents path is accepted for the platform's signature and not
  // needed here. Errors: Cocoa 512 (write failed) or 513 (no permission),
  // with the POSIX error underneath.
  bool write(const std::string& path, uint32_t options, const std::string& originalContentsPath,
             Error* error = nullptr);
  bool write(const URL& url, uint32_t options, const std::optional<URL>& originalContentsURL,
             Error* error = nullptr) {
    return write(url.path(), options, originalContentsURL ? originalContentsURL->path() : std::string(),
                 error);
  }

 private:
  bool directory_ = false;
  std::string preferredFilename_;
  std::string filename_;
  Data contents_;
  std::map<std::string, FileWrapper> children_;
};

}  // namespace ns
