// Pictures of the screen for the host program: `shot FILE` writes one, and
// `--shots DIR` a numbered series (DIR/0000.png at the start, then one
// after every action). Nothing is drawn unless a picture is asked for.
#pragma once

#include <string>

namespace quillbox {

class ScreenShots {
 public:
  // Writes the screen as a PNG file; false and `why` when it cannot.
  static bool write(const std::string& path, std::string* why);

  // Creates `directory` when needed and writes the first picture, 0000.png.
  bool start(const std::string& directory, std::string* why);
  bool started() const { return !directory_.empty(); }
  // The next numbered picture; false and `why` when it cannot be written.
  bool next(std::string* why);

 private:
  std::string directory_;
  int number_ = 0;
};

}  // namespace quillbox
