#include "Platform/UIKit/FontCatalog.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>

namespace ui {

namespace {

constexpr const char* kHostFontFamily = "DejaVu Sans";

// Families of the platform the system names, and whether lists show them.
struct PlatformFamily {
  const char* name;
  bool visible;
};
constexpr PlatformFamily kPlatformFamilies[] = {
    {kDefaultNoteFontFamily, true},
    {kDefaultDocumentFontFamily, true},
    {kSystemFontFamily, false},
};

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

std::string compact(const std::string& s) {
  std::string out;
  for (char c : s)
    if (c != ' ') out += c;
  return out;
}

std::string patternString(FcPattern* pattern, const char* object, int index = 0) {
  FcChar8* value = nullptr;
  if (FcPatternGetString(pattern, object, index, &value) != FcResultMatch || !value) return {};
  return reinterpret_cast<const char*>(value);
}

int patternInt(FcPattern* pattern, const char* object, int fallback) {
  int value = 0;
  return FcPatternGetInteger(pattern, object, 0, &value) == FcResultMatch ? value : fallback;
}

// Lower is better: the requested bits first, then a normal width, then the
// weight nearest to regular or bold.
int faceScore(const FontFace& face, uint32_t traits) {
  bool wantBold = traits & kFontTraitBold, wantItalic = traits & kFontTraitItalic;
  int score = 0;
  if (face.bold() != wantBold) score += 100000;
  if (face.italic() != wantItalic) score += 100000;
  if (face.width != 100) score += 1000 + std::abs(face.width - 100);
  score += std::abs(face.weight - (wantBold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR)) * 2;
  if (face.slant == FC_SLANT_OBLIQUE && wantItalic) score += 1;  // italic before oblique
  return score;
}

}  // namespace

bool FontFace::bold() const { return weight >= FC_WEIGHT_BOLD; }
bool FontFace::italic() const { return slant != FC_SLANT_ROMAN; }
uint32_t FontFace::symbolicTraits() const {
  return (bold() ? kFontTraitBold : 0) | (italic() ? kFontTraitItalic : 0);
}

FontCatalog& FontCatalog::shared() {
  static FontCatalog* catalog = new FontCatalog();  // lives for the process: fonts refer to it
  return *catalog;
}

FontCatalog::FontCatalog() {
  // fontconfig's current configuration, the one pango draws with: parsing
  // the machine's configuration files is most of what fonts cost a launch,
  // and a configuration of our own would parse them a second time.
  load(FcConfigReference(nullptr));
}

FontCatalog::FontCatalog(const std::vector<std::string>& fontDirectories) {
  // A configuration of its own: these directories and the user's cache.
  std::string xml = "<?xml version=\"1.0\"?><fontconfig>";
  for (const std::string& dir : fontDirectories) {
    std::string escaped;
    for (char c : dir) {
      if (c == '&') escaped += "&amp;";
      else if (c == '<') escaped += "&lt;";
      else if (c == '>') escaped += "&gt;";
      else escaped += c;
    }
    xml += "<dir>" + escaped + "</dir>";
  }
  xml += "<cachedir prefix=\"xdg\">fontconfig</cachedir></fontconfig>";
  FcConfig* config = FcConfigCreate();
  if (!FcConfigParseAndLoadFromMemory(config, reinterpret_cast<const FcChar8*>(xml.c_str()), FcTrue) ||
      !FcConfigBuildFonts(config)) {
    FcConfigDestroy(config);
    config = nullptr;
  }
  load(config);
}

FontCatalog::~FontCatalog() {
  if (config_) FcConfigDestroy(static_cast<FcConfig*>(config_));
}

void FontCatalog::load(void* rawConfig) {
  config_ = rawConfig;
  auto* config = static_cast<FcConfig*>(rawConfig);
  if (!config) return;
  FcPattern* all = FcPatternCreate();
  FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, FC_STYLE, FC_POSTSCRIPT_NAME, FC_FULLNAME,
                                          FC_FILE, FC_WEIGHT, FC_SLANT, FC_WIDTH, FC_OUTLINE,
                                          nullptr);
  FcFontSet* set = FcFontList(config, all, objects);
  FcObjectSetDestroy(objects);
  FcPatternDestroy(all);
  if (!set) return;
  for (int i = 0; i < set->nfont; ++i) {
    FcPattern* pattern = set->fonts[i];
    FcBool outline = FcTrue;
    if (FcPatternGetBool(pattern, FC_OUTLINE, 0, &outline) == FcResultMatch && !outline) continue;
    FontFace face;
    face.style = patternString(pattern, FC_STYLE);
    face.postscriptName = patternString(pattern, FC_POSTSCRIPT_NAME);
    face.fullName = patternString(pattern, FC_FULLNAME);
    face.file = patternString(pattern, FC_FILE);
    face.weight = patternInt(pattern, FC_WEIGHT, FC_WEIGHT_REGULAR);
    face.slant = patternInt(pattern, FC_SLANT, FC_SLANT_ROMAN);
    face.width = patternInt(pattern, FC_WIDTH, FC_WIDTH_NORMAL);
    // A face belongs to each family it names ("DejaVu Sans" and "DejaVu Sans Condensed").
    for (int f = 0;; ++f) {
      std::string family = patternString(pattern, FC_FAMILY, f);
      if (family.empty()) break;
      face.family = family;
      auto& faces = families_[family];
      bool duplicate = std::any_of(faces.begin(), faces.end(), [&](const FontFace& other) {
        return other.postscriptName == face.postscriptName && other.style == face.style;
      });
      if (!duplicate) faces.push_back(face);
    }
  }
  FcFontSetDestroy(set);
  for (auto& [family, faces] : families_)
    std::sort(faces.begin(), faces.end(), [](const FontFace& a, const FontFace& b) {
      return std::tie(a.weight, a.slant, a.width, a.postscriptName) <
             std::tie(b.weight, b.slant, b.width, b.postscriptName);
    });
}

std::vector<std::string> FontCatalog::familyNames() const {
  std::vector<std::string> names;
  for (const auto& [family, faces] : families_) names.push_back(family);
  if (!families_.empty()) {
    for (const PlatformFamily& p : kPlatformFamilies)
      if (p.visible && !families_.contains(p.name)) names.push_back(p.name);
  }
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) { return lower(a) < lower(b); });
  return names;
}

bool FontCatalog::isPlatformFamily(const std::string& family) const {
  return std::any_of(std::begin(kPlatformFamilies), std::end(kPlatformFamilies),
                     [&](const PlatformFamily& p) { return family == p.name; });
}

bool FontCatalog::hasFamily(const std::string& family) const {
  return installedFaces(family) != nullptr || (isPlatformFamily(family) && !families_.empty());
}

const std::vector<FontFace>* FontCatalog::installedFaces(const std::string& family) const {
  if (auto it = families_.find(family); it != families_.end()) return &it->second;
  std::string wanted = lower(family);
  for (const auto& [name, faces] : families_)
    if (lower(name) == wanted) return &faces;
  return nullptr;
}

std::string FontCatalog::installedFamily(const std::string& family) const {
  if (const auto* faces = installedFaces(family)) return faces->front().family;
  if (!isPlatformFamily(family) || families_.empty()) return {};
  std::lock_guard lock(mutex_);
  if (auto it = mapping_.find(family); it != mapping_.end()) return it->second;
  // The family the host installs for the platform's own (scripts/install-deps)
  // comes first, so text looks and measures alike on every machine, whatever
  // else is installed there.
  if (installedFaces(kHostFontFamily)) return mapping_[family] = kHostFontFamily;
  // Else ask fontconfig what it would draw this family with (its aliases map
  // e.g. Helvetica to a sans-serif family); fall back to any family.
  auto* config = static_cast<FcConfig*>(config_);
  std::string matched;
  std::string request = family == kSystemFontFamily ? std::string("sans-serif") : family;
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(request.c_str()));
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
  FcConfigSubstitute(config, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result;
  if (FcPattern* match = FcFontMatch(config, pattern, &result)) {
    matched = patternString(match, FC_FAMILY);
    FcPatternDestroy(match);
  }
  FcPatternDestroy(pattern);
  if (const auto* faces = installedFaces(matched); !faces) {
    // Prefer a family with a regular face of normal width.
    matched = families_.begin()->first;
    for (const char* candidate : {"DejaVu Sans", "Liberation Sans"})
      if (installedFaces(candidate)) {
        matched = candidate;
        break;
      }
  } else {
    matched = faces->front().family;
  }
  mapping_[family] = matched;
  return matched;
}

std::vector<FontFace> FontCatalog::faces(const std::string& family) const {
  const auto* faces = installedFaces(installedFamily(family));
  return faces ? *faces : std::vector<FontFace>{};
}

std::optional<FontFace> FontCatalog::bestFace(const std::string& family, uint32_t traits) const {
  const auto* faces = installedFaces(installedFamily(family));
  if (!faces || faces->empty()) return std::nullopt;
  traits &= kFontTraitBold | kFontTraitItalic;
  // Only an exact fit or the regular face: a family without a bold face does
  // not stand in an italic one for bold.
  const FontFace* best = nullptr;
  int bestScore = INT_MAX;
  for (uint32_t wanted : {traits, 0u}) {
    for (const FontFace& face : *faces) {
      if (face.symbolicTraits() != wanted) continue;
      int score = faceScore(face, wanted);
      if (score < bestScore) best = &face, bestScore = score;
    }
    if (best) return *best;
  }
  for (const FontFace& face : *faces) {  // no regular face at all
    int score = faceScore(face, traits);
    if (score < bestScore) best = &face, bestScore = score;
  }
  return *best;
}

std::optional<FontCatalog::NamedFace> FontCatalog::faceNamed(const std::string& name) const {
  if (name.empty()) return std::nullopt;
  for (const auto& [family, faces] : families_)
    for (const FontFace& face : faces)
      if (face.postscriptName == name || face.fullName == name) return NamedFace{face.family, face};
  if (installedFaces(name) || isPlatformFamily(name)) {
    if (auto face = bestFace(name, 0)) {
      std::string family = isPlatformFamily(name) ? name : installedFaces(name)->front().family;
      return NamedFace{family, *face};
    }
    return std::nullopt;
  }
  for (const PlatformFamily& p : kPlatformFamilies) {
    for (uint32_t traits = 0; traits < 4; ++traits) {
      if (platformFontName(p.name, traits) != name) continue;
      auto face = bestFace(p.name, traits);
      if (face) return NamedFace{p.name, *face};
      return std::nullopt;
    }
  }
  return std::nullopt;
}

std::string FontCatalog::platformFontName(const std::string& family, uint32_t traits) {
  std::string name = compact(family);
  traits &= kFontTraitBold | kFontTraitItalic;
  if (traits == kFontTraitBold) name += "-Bold";
  if (traits == kFontTraitItalic) name += "-Italic";
  if (traits == (kFontTraitBold | kFontTraitItalic)) name += "-BoldItalic";
  return name;
}

std::string FontCatalog::platformFaceName(uint32_t traits) {
  traits &= kFontTraitBold | kFontTraitItalic;
  if (traits == kFontTraitBold) return "Bold";
  if (traits == kFontTraitItalic) return "Italic";
  if (traits == (kFontTraitBold | kFontTraitItalic)) return "Bold Italic";
  return "Regular";
}

}  // namespace ui
