// LKTTYLoggerColorProfile: the escape codes that colour the console
// logger's lines for a flag mask and context (or for a tag): foreground and
// background codes picked from the terminal's colour table (nearest
// reference colour), or the IDE's own colour codes, and the reset code.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A colour as red, green and blue components from 0 to 1.
struct LKColor {
  double red = 0;
  double green = 0;
  double blue = 0;
  static LKColor fromBytes(int r, int g, int b) { return {r / 255.0, g / 255.0, b / 255.0}; }
};

// How the console shows colours: decided once per process.
enum class LKTerminalMode { None, Colors16, Colors256, IDEColors };

// A colour table: the codes after "ESC[" and the colours they show.
struct LKColorTable {
  std::vector<std::string> foregroundCodes;
  std::vector<std::string> backgroundCodes;
  std::vector<LKColor> colors;
  static const LKColorTable& colors16();
  static const LKColorTable& colors256();
  // The table of a mode; empty for None and IDEColors.
  static const LKColorTable& forMode(LKTerminalMode mode);
};

class LKTTYLoggerColorProfile {
 public:
  static constexpr int64_t kEveryContext = 2147483647;

  LKTTYLoggerColorProfile(std::optional<LKColor> foreground, std::optional<LKColor> background, uint64_t mask,
                          int64_t context, LKTerminalMode mode);

  // Index of the reference colour nearest to `color` (first of equals); 0
  // for an empty table.
  static uint64_t codeIndexForColor(const LKColor& color, const LKColorTable& table);

  uint64_t mask = 0;
  int64_t context = 0;
  uint8_t fg[3] = {0, 0, 0};
  uint8_t bg[3] = {0, 0, 0};
  uint64_t fgCodeIndex = 0;
  uint64_t bgCodeIndex = 0;
  std::string fgCodeRaw;
  std::string bgCodeRaw;
  std::string fgCode;
  std::string bgCode;
  std::string resetCode;

  std::string description() const;
};
