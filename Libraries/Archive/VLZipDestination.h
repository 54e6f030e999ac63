// The directory an extraction writes into, and the only way it writes
// there: every file, directory and link is made below it, never through a
// link that leads out of it, and links are made only when their target
// stays inside it.
#pragma once

#include <string>
#include <vector>

class VLZipDestination {
 public:
  enum class Outcome { Ok, Unsafe, Failed };

  // Creates the directory (with intermediates) when missing. false with
  // errno in *err when it cannot be made or resolved.
  bool open(const std::string& root, int* err);

  // root + "/" + the components.
  std::string pathFor(const std::vector<std::string>& components) const;

  // Makes every directory of `components` below the root. An existing
  // component must be a directory, or a link to a directory inside the root.
  // `created` receives the paths of the directories made.
  Outcome makeDirectories(const std::vector<std::string>& components, int* err, std::vector<std::string>* created);

  // Creates or truncates the file at `components` (its parent made already)
  // for writing. A link there is replaced by the file, never followed.
  Outcome openFile(const std::vector<std::string>& components, int* fd, int* err);

  // Whether the parent of `components` resolves inside the root.
  bool parentIsInside(const std::vector<std::string>& components) const;

  // Whether a link at `components` pointing to `target` keeps every path
  // through it inside the root: the target is relative, holds no NUL, and
  // its ".." segments all come first and climb no higher than the root.
  bool linkTargetStaysInside(const std::vector<std::string>& components, const std::string& target) const;

 private:
  bool isInside(const std::string& realPath) const;
  std::string root_;      // as given
  std::string realRoot_;  // resolved
};
