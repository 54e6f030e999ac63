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
  // component must be a directory, or a link to a directory inside the root
  // (Unsafe when it leads out). Failed, with errno in *err, when a directory
  // cannot be made or a link cannot be resolved. `created` receives the
  // paths of the directories made.
  Outcome makeDirectories(const std::vector<std::string>& components, int* err, std::vector<std::string>* created);

  // Creates or truncates the file at `components` (its parent made already)
  // for writing. A link there is replaced by the file, never followed.
  // Unsafe when the parent resolves outside the root; Failed, with errno in
  // *err, when the parent cannot be resolved or the file cannot be opened.
  Outcome openFile(const std::vector<std::string>& components, int* fd, int* err);

  // Whether a link at `components` pointing to `target` keeps every path
  // through it inside the root: the target is relative, holds no NUL, and
  // its ".." segments all come first and climb no higher than the root.
  // Failed, with errno in *err, when the link's directory cannot be resolved.
  Outcome checkLink(const std::vector<std::string>& components, const std::string& target, int* err) const;

 private:
  bool isInside(const std::string& realPath) const;
  // The resolved directory holding `components`' last item.
  Outcome resolveParent(const std::vector<std::string>& components, std::string* resolved, int* err) const;
  std::string root_;      // as given
  std::string realRoot_;  // resolved
};
