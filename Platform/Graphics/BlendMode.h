// How drawn colour combines with what is in the context already, numbered
// as the platform numbers its blend modes.
#pragma once

namespace cg {

enum class BlendMode {
  Normal = 0,
  Multiply,
  Screen,
  Overlay,
  Darken,
  Lighten,
  ColorDodge,
  ColorBurn,
  SoftLight,
  HardLight,
  Difference,
  Exclusion,
  Hue,
  Saturation,
  Color,
  Luminosity,
  Clear,
  Copy,
  SourceIn,
  SourceOut,
  SourceAtop,
  DestinationOver,
  DestinationIn,
  DestinationOut,
  DestinationAtop,
  XOR,
  PlusDarker,
  PlusLighter,
};

}  // namespace cg
