#include "Platform/Foundation/PropertyListShape.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace ns::property_list_shape {
namespace {

uint64_t readBigEndian(const uint8_t* p, size_t n) {
  uint64_t v = 0;
  for (size_t i = 0; i < n; ++i) v = (v << 8) | p[i];
  return v;
}

// One object of the table as far as the checks need it.
struct Object {
  std::vector<uint64_t> children;
};

class BinaryWalker {
 public:
  BinaryWalker(const uint8_t* bytes, size_t size) : bytes_(bytes), size_(size) {}

  std::optional<std::string> run() {
    constexpr size_t kTrailer = 32;
    if (size_ < 8 + kTrailer) return std::nullopt;
    const uint8_t* trailer = bytes_ + size_ - kTrailer;
    offsetSize_ = trailer[6];
    refSize_ = trailer[7];
    count_ = readBigEndian(trailer + 8, 8);
    top_ = readBigEndian(trailer + 16, 8);
    tableOffset_ = readBigEndian(trailer + 24, 8);
    if (offsetSize_ == 0 || offsetSize_ > 8 || refSize_ == 0 || refSize_ > 8) return std::nullopt;
    if (tableOffset_ >= size_ || count_ > (size_ - tableOffset_) / offsetSize_ || top_ >= count_)
      return std::nullopt;
    objects_.resize(count_);
    for (uint64_t i = 0; i < count_; ++i) {
      if (auto problem = readObject(i)) return problem;
    }
    return walk();
  }

 private:
  // The length after a marker: its low nibble, or an integer object that
  // follows when the nibble is 0xF. False when it runs off the end.
  bool length(uint8_t marker, uint64_t* at, uint64_t* out) const {
    *out = marker & 0x0F;
    if (*out != 0x0F) return true;
    if (*at >= size_ || (bytes_[*at] >> 4) != 0x1) return false;
    size_t width = size_t(1) << (bytes_[*at] & 0x0F);
    if (width > 8 || *at + 1 + width > size_) return false;
    *out = readBigEndian(bytes_ + *at + 1, width);
    *at += 1 + width;
    return true;
  }

  std::optional<std::string> readObject(uint64_t index) {
    uint64_t at = readBigEndian(bytes_ + tableOffset_ + index * offsetSize_, offsetSize_);
    if (at >= size_) return std::nullopt;
    uint8_t marker = bytes_[at++];
    uint8_t kind = marker >> 4;
    uint64_t n = 0;
    switch (kind) {
      case 0x5:  // ASCII string
      case 0x6: {  // UTF-16 string
        if (!length(marker, &at, &n)) return std::nullopt;
        uint64_t unit = kind == 0x5 ? 1 : 2;
        if (n > (size_ - at) / unit) return std::nullopt;
        for (uint64_t j = 0; j < n; ++j) {
          const uint8_t* c = bytes_ + at + j * unit;
          if (c[0] == 0 && (unit == 1 || c[1] == 0)) return "string with a NUL character";
        }
        return std::nullopt;
      }
      case 0xA:  // array
      case 0xC:  // set
      case 0xD: {  // dictionary: keys, then values
        if (!length(marker, &at, &n)) return std::nullopt;
        uint64_t refs = kind == 0xD ? n * 2 : n;
        if (n > size_ || refs > (size_ - at) / refSize_) return std::nullopt;
        auto& children = objects_[index].children;
        children.reserve(refs);
        for (uint64_t j = 0; j < refs; ++j) {
          uint64_t child = readBigEndian(bytes_ + at + j * refSize_, refSize_);
          if (child < count_) children.push_back(child);
        }
        return std::nullopt;
      }
      default: return std::nullopt;
    }
  }

  // Depth-first from the top object, without recursion: the nesting depth
  // and the number of nodes the tree has once shared objects are copied.
  std::optional<std::string> walk() {
    enum : uint8_t { kUnseen, kOpen, kDone };
    std::vector<uint8_t> state(count_, kUnseen);
    std::vector<uint32_t> depth(count_, 0);
    std::vector<uint64_t> nodes(count_, 0);
    const uint64_t maxNodes = (uint64_t(1) << 20) + uint64_t(size_) * 16;
    struct Frame {
      uint64_t object;
      size_t next;
    };
    std::vector<Frame> stack{{top_, 0}};
    state[top_] = kOpen;
    while (!stack.empty()) {
      Frame& frame = stack.back();
      const auto& children = objects_[frame.object].children;
      if (frame.next < children.size()) {
        uint64_t child = children[frame.next++];
        if (state[child] == kOpen) return "object refers back to itself";
        if (state[child] == kUnseen) {
          if (stack.size() > size_t(kMaxDepth)) return "nesting too deep";
          state[child] = kOpen;
          stack.push_back({child, 0});
        }
        continue;
      }
      uint64_t object = frame.object;
      uint32_t d = 0;
      uint64_t total = 1;
      for (uint64_t child : children) {
        d = std::max(d, depth[child] + 1);
        total += nodes[child];
        if (total > maxNodes) return "too many objects once shared ones are copied";
      }
      if (d > uint32_t(kMaxDepth)) return "nesting too deep";
      depth[object] = d;
      nodes[object] = total;
      state[object] = kDone;
      stack.pop_back();
    }
    return std::nullopt;
  }

  const uint8_t* bytes_;
  size_t size_;
  size_t offsetSize_ = 0;
  size_t refSize_ = 0;
  uint64_t count_ = 0;
  uint64_t top_ = 0;
  uint64_t tableOffset_ = 0;
  std::vector<Object> objects_;
};

bool startsWith(const uint8_t* p, const uint8_t* end, const char* text) {
  size_t n = std::strlen(text);
  return size_t(end - p) >= n && std::memcmp(p, text, n) == 0;
}

// An opening tag of `name` starts at p ("<" already passed), one that is
// not self-closing ("<array/>").
bool opensContainer(const uint8_t* p, const uint8_t* end, const char* name) {
  if (!startsWith(p, end, name)) return false;
  const uint8_t* q = p + std::strlen(name);
  if (q >= end) return false;
  if (*q == '>') return true;
  if (*q != ' ' && *q != '\t' && *q != '\n' && *q != '\r') return false;
  auto close = static_cast<const uint8_t*>(std::memchr(q, '>', size_t(end - q)));
  return close && close[-1] != '/';
}

}  // namespace

std::optional<std::string> binaryProblem(const uint8_t* bytes, size_t size) {
  return BinaryWalker(bytes, size).run();
}

std::optional<std::string> xmlProblem(const uint8_t* bytes, size_t size) {
  const uint8_t* p = bytes;
  const uint8_t* end = bytes + size;
  int depth = 0;
  while ((p = static_cast<const uint8_t*>(std::memchr(p, '<', size_t(end - p)))) != nullptr) {
    ++p;
    if (startsWith(p, end, "!--")) {
      // Comments may hold anything, tags included.
      const uint8_t* q = p + 3;
      while (q < end && !startsWith(q, end, "-->")) ++q;
      p = q;
      continue;
    }
    if (opensContainer(p, end, "array") || opensContainer(p, end, "dict")) {
      if (++depth > kMaxDepth) return "nesting too deep";
    } else if (startsWith(p, end, "/array") || startsWith(p, end, "/dict")) {
      if (depth > 0) --depth;
    }
  }
  return std::nullopt;
}

}  // namespace ns::property_list_shape
