#include "Libraries/Logging/LKTTYLoggerColorProfile.h"

#include <cmath>

#include "Platform/Foundation/Format.h"

namespace {

constexpr char kEscape = '\x1b';

LKColorTable make16() {
  LKColorTable t;
  for (int i = 0; i < 8; ++i) {
    t.foregroundCodes.push_back(ns::format("%dm", 30 + i));
    t.backgroundCodes.push_back(ns::format("%dm", 40 + i));
  }
  for (int i = 0; i < 8; ++i) {
    t.foregroundCodes.push_back(ns::format("1;%dm", 30 + i));
    t.backgroundCodes.push_back(ns::format("1;%dm", 40 + i));
  }
  const int rgb[16][3] = {{0, 0, 0},       {194, 54, 33},  {37, 188, 36},   {173, 173, 39},
                          {73, 46, 225},   {211, 56, 211}, {51, 187, 200},  {203, 204, 205},
                          {129, 131, 131}, {252, 57, 31},  {49, 231, 34},   {234, 236, 35},
                          {88, 51, 255},   {249, 53, 248}, {20, 240, 240},  {233, 235, 235}};
  for (auto& c : rgb) t.colors.push_back(LKColor::fromBytes(c[0], c[1], c[2]));
  return t;
}

// The 6x6x6 cube and the 24 greys as the terminal renders them: its dark
// end is the terminal's black (47, 49, 49), each axis then rises towards
// the bright colours of the 16-colour table.
LKColor cubeColor(int r, int g, int b) {
  static const int level[6] = {0, 95, 135, 175, 215, 255};
  auto channel = [](int l, int base) { return l == 0 ? base : level[l]; };
  return LKColor::fromBytes(channel(r, 47), channel(g, 49), channel(b, 49));
}

LKColorTable make256() {
  LKColorTable t;
  for (int n = 16; n < 256; ++n) {
    t.foregroundCodes.push_back(ns::format("38;5;%dm", n));
    t.backgroundCodes.push_back(ns::format("48;5;%dm", n));
  }
  for (int r = 0; r < 6; ++r) {
    for (int g = 0; g < 6; ++g) {
      for (int b = 0; b < 6; ++b) t.colors.push_back(cubeColor(r, g, b));
    }
  }
  for (int i = 0; i < 24; ++i) {
    int v = 52 + i * 188 / 23;
    t.colors.push_back(LKColor::fromBytes(v, v + 1, v + 1));
  }
  // Entries measured on the terminal; the formula above only approaches them.
  struct Measured {
    int index, r, g, b;
  } measured[] = {{16, 47, 49, 49},  {17, 60, 42, 144},   {21, 88, 51, 255},  {22, 42, 128, 37},
                  {231, 254, 255, 255}, {232, 52, 53, 53}, {255, 240, 242, 242}};
  for (auto& m : measured) t.colors[static_cast<size_t>(m.index - 16)] = LKColor::fromBytes(m.r, m.g, m.b);
  return t;
}

uint8_t byteOf(double component) { return static_cast<uint8_t>(component * 255); }

}  // namespace

const LKColorTable& LKColorTable::colors16() {
  static const LKColorTable table = make16();
  return table;
}

const LKColorTable& LKColorTable::colors256() {
  static const LKColorTable table = make256();
  return table;
}

const LKColorTable& LKColorTable::forMode(LKTerminalMode mode) {
  static const LKColorTable empty;
  switch (mode) {
    case LKTerminalMode::Colors16: return colors16();
    case LKTerminalMode::Colors256: return colors256();
    default: return empty;
  }
}

uint64_t LKTTYLoggerColorProfile::codeIndexForColor(const LKColor& color, const LKColorTable& table) {
  double best = 100.0;
  uint64_t index = 0;
  for (size_t i = 0; i < table.colors.size(); ++i) {
    const LKColor& c = table.colors[i];
    double distance = std::sqrt(std::pow(c.red - color.red, 2) + std::pow(c.green - color.green, 2) +
                                std::pow(c.blue - color.blue, 2));
    if (distance < best) {
      best = distance;
      index = i;
    }
  }
  return index;
}

LKTTYLoggerColorProfile::LKTTYLoggerColorProfile(std::optional<LKColor> foreground, std::optional<LKColor> background,
                                                 uint64_t mask_, int64_t context_, LKTerminalMode mode)
    : mask(mask_), context(context_) {
  const LKColorTable& table = LKColorTable::forMode(mode);
  auto build = [&](const std::optional<LKColor>& color, uint8_t bytes[3], uint64_t& index, std::string& raw,
                   std::string& code, bool foregroundSide) {
    if (!color) return;
    bytes[0] = byteOf(color->red);
    bytes[1] = byteOf(color->green);
    bytes[2] = byteOf(color->blue);
    if (mode == LKTerminalMode::Colors16 || mode == LKTerminalMode::Colors256) {
      index = codeIndexForColor(*color, table);
      raw = (foregroundSide ? table.foregroundCodes : table.backgroundCodes)[index];
      code = std::string{kEscape, '['} + raw;
    } else if (mode == LKTerminalMode::IDEColors) {
      code = ns::format(foregroundSide ? "%sfg%u,%u,%u;" : "%sbg%u,%u,%u;", std::string{kEscape, '['}, bytes[0],
                        bytes[1], bytes[2]);
    }
  };
  build(foreground, fg, fgCodeIndex, fgCodeRaw, fgCode, true);
  build(background, bg, bgCodeIndex, bgCodeRaw, bgCode, false);
  if (mode == LKTerminalMode::Colors16 || mode == LKTerminalMode::Colors256) {
    resetCode = std::string{kEscape, '[', '0', 'm'};
  } else if (mode == LKTerminalMode::IDEColors) {
    resetCode = std::string{kEscape, '[', ';'};
  }
}

std::string LKTTYLoggerColorProfile::description() const {
  return ns::format("<LKTTYLoggerColorProfile: %p mask:%i ctxt:%ld fg:%u,%u,%u bg:%u,%u,%u fgCode:%@ bgCode:%@>",
                    static_cast<const void*>(this), static_cast<int>(mask), static_cast<long>(context), fg[0], fg[1],
                    fg[2], bg[0], bg[1], bg[2], fgCodeRaw, bgCodeRaw);
}
