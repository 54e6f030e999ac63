// The font families and faces this machine has, read once through
// fontconfig, and the platform's own family names (the note font's default
// "Helvetica Neue", the system font) mapped to installed families: to
// "DejaVu Sans" when it is installed (scripts/install-deps installs it), so
// that text is the same on every machine, else to fontconfig's choice. Fonts
// (Font.h) are made from it: it knows which families have bold and italic
// faces and picks the face that fits requested traits best.
//
// Thread-safe: the face table is fixed after construction; the mapping
// cache is locked.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace ui {

// Symbolic traits of a font, as the platform numbers them.
inline constexpr uint32_t kFontTraitItalic = 1u << 0;
inline constexpr uint32_t kFontTraitBold = 1u << 1;

// The platform's family names the system uses.
inline constexpr const char* kDefaultNoteFontFamily = "Helvetica Neue";
inline constexpr const char* kDefaultDocumentFontFamily = "Helvetica";  // RTF without fonts
inline constexpr const char* kSystemFontFamily = ".SystemUIFont";        // hidden from lists

// One installed face.
struct FontFace {
  std::string family;          // the installed family
  std::string style;           // "Book", "Bold Oblique", ...
  std::string postscriptName;  // "DejaVuSans-Bold"
  std::string fullName;        // "DejaVu Sans Bold"
  std::string file;
  int weight = 80;   // fontconfig's scale: 80 regular, 200 bold
  int slant = 0;     // 0 roman, 100 italic, 110 oblique
  int width = 100;   // 100 normal

  bool bold() const;
  bool italic() const;
  uint32_t symbolicTraits() const;
};

class FontCatalog {
 public:
  // The machine's fonts (fontconfig's usual configuration).
  static FontCatalog& shared();
  // Only the fonts in these directories (tests, bundled fonts).
  explicit FontCatalog(const std::vector<std::string>& fontDirectories);
  ~FontCatalog();
  FontCatalog(const FontCatalog&) = delete;
  FontCatalog& operator=(const FontCatalog&) = delete;

  // Installed families and the visible platform families, sorted.
  std::vector<std::string> familyNames() const;
  // Installed, or one of the platform's families.
  bool hasFamily(const std::string& family) const;
  bool isPlatformFamily(const std::string& family) const;
  // The installed family that renders `family`: itself when installed, else
  // fontconfig's best match; empty when the catalog has no fonts or the
  // family is unknown.
  std::string installedFamily(const std::string& family) const;
  // The faces that render `family`.
  std::vector<FontFace> faces(const std::string& family) const;
  // The face of `family` that fits the bold and italic bits of `traits`
  // best: an exact match when the family has one, else the regular face.
  std::optional<FontFace> bestFace(const std::string& family, uint32_t traits) const;

  struct NamedFace {
    std::string family;  // the family to report (platform name for platform fonts)
    FontFace face;
  };
  // A face by PostScript name ("DejaVuSans-Bold", "HelveticaNeue-Italic"),
  // full name ("DejaVu Sans Bold") or family name (its regular face).
  std::optional<NamedFace> faceNamed(const std::string& name) const;

  // The PostScript-style name of a face of a platform family:
  // "HelveticaNeue", "HelveticaNeue-Bold", "HelveticaNeue-BoldItalic".
  static std::string platformFontName(const std::string& family, uint32_t traits);
  // The platform's face name for traits: "Regular", "Bold", "Italic", "Bold Italic".
  static std::string platformFaceName(uint32_t traits);
  // The body text style's size at the default content size.
  static double preferredBodyFontSize() { return 17.0; }

 private:
  FontCatalog();  // shared
  void load(void* config);
  const std::vector<FontFace>* installedFaces(const std::string& family) const;

  void* config_ = nullptr;  // FcConfig, owned
  std::map<std::string, std::vector<FontFace>> families_;  // installed, by family
  mutable std::mutex mutex_;
  mutable std::map<std::string, std::string> mapping_;  // family -> installed family
};

}  // namespace ui
