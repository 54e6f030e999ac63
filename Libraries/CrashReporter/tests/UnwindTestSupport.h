// For the unwinder's tests: call-frame bytes built by hand, and the
// binary-image slots filled from the images this process has loaded.
#pragma once

#include <link.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "Libraries/CrashReporter/DVCRBinaryImageSlot.h"
#include "Libraries/CrashReporter/DVCRDwarfRecords.h"
#include "Libraries/CrashReporter/DVCRElf.h"

namespace dvcr_testing {

// Function addresses for crafted tables: the table's 32-bit PC-relative
// fields reach them from the heap, which lies near the program. Never
// executed, never read by the unwinder.
alignas(4096) inline uint8_t fakeText[0x4000];
inline uint64_t fakeTextAddress(uint64_t offset) { return reinterpret_cast<uint64_t>(fakeText) + offset; }

// Crafted tables live beside it, where their 32-bit offsets reach it
// whatever the heap did before: a ring of space, reused once it is full.
alignas(16) inline uint8_t fakeTables[0x10000];
inline size_t fakeTablesUsed = 0;
inline uint8_t* placeFakeTable(const std::vector<uint8_t>& bytes) {
  if (fakeTablesUsed + bytes.size() > sizeof fakeTables) fakeTablesUsed = 0;
  uint8_t* place = fakeTables + fakeTablesUsed;
  memcpy(place, bytes.data(), bytes.size());
  fakeTablesUsed += (bytes.size() + 15) & ~size_t{15};
  return place;
}

// Little-endian bytes appended one field at a time.
class ByteWriter {
 public:
  std::vector<uint8_t> bytes;

  ByteWriter& u8(uint8_t value) { return raw(&value, 1); }
  ByteWriter& u16(uint16_t value) { return raw(&value, 2); }
  ByteWriter& u32(uint32_t value) { return raw(&value, 4); }
  ByteWriter& u64(uint64_t value) { return raw(&value, 8); }
  ByteWriter& uleb(uint64_t value) {
    do {
      uint8_t byte = value & 0x7F;
      value >>= 7;
      u8(value != 0 ? byte | 0x80 : byte);
    } while (value != 0);
    return *this;
  }
  ByteWriter& sleb(int64_t value) {
    for (;;) {
      uint8_t byte = value & 0x7F;
      value >>= 7;
      bool done = (value == 0 && !(byte & 0x40)) || (value == -1 && (byte & 0x40));
      u8(done ? byte : byte | 0x80);
      if (done) return *this;
    }
  }
  ByteWriter& append(std::initializer_list<uint8_t> values) {
    bytes.insert(bytes.end(), values);
    return *this;
  }
  ByteWriter& append(const std::vector<uint8_t>& values) {
    bytes.insert(bytes.end(), values.begin(), values.end());
    return *this;
  }
  ByteWriter& raw(const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    bytes.insert(bytes.end(), p, p + size);
    return *this;
  }
  void put32(size_t at, uint32_t value) { memcpy(bytes.data() + at, &value, 4); }
  size_t size() const { return bytes.size(); }
};

// One CIE ("zR", pointer encoding 0x1B, code alignment 1, data alignment
// -8, return address in column 16) and FDEs after it, with an
// .eh_frame_hdr in front; `pcStart` values are absolute addresses in
// fakeText.
class CraftedCFI {
 public:
  struct Function {
    uint64_t pcStart;
    uint32_t range;
    std::vector<uint8_t> instructions;
  };

  // The usual x86_64 CIE rules: CFA = rsp + 8, return address at CFA - 8.
  static std::vector<uint8_t> standardCIE() { return {0x0C, 0x07, 0x08, 0x90, 0x01}; }

  CraftedCFI(std::vector<uint8_t> cieInstructions, std::vector<Function> functions) : functions_(std::move(functions)) {
    // .eh_frame_hdr: version, encodings, eh_frame pointer, count, table.
    ByteWriter w;
    w.append({1, 0x1B, 0x03, 0x3B}).u32(0).u32(static_cast<uint32_t>(functions_.size()));
    const size_t table = w.size();
    for (size_t i = 0; i < functions_.size(); ++i) w.u32(0).u32(0);
    ehFrame_ = w.size();
    w.put32(4, static_cast<uint32_t>(ehFrame_ - 4));

    // The CIE.
    ByteWriter cie;
    cie.u32(0).u8(1).append({'z', 'R', 0}).uleb(1).sleb(-8).u8(16).uleb(1).u8(0x1B).append(cieInstructions);
    w.u32(static_cast<uint32_t>(cie.size())).append(cie.bytes);

    // The FDEs; their PC fields are filled once the bytes no longer move.
    for (size_t i = 0; i < functions_.size(); ++i) {
      const size_t fde = w.size();
      fdeOffsets_.push_back(fde - ehFrame_);
      ByteWriter body;
      body.u32(static_cast<uint32_t>(fde + 4 - ehFrame_)).u32(0).u32(functions_[i].range).uleb(0);
      body.append(functions_[i].instructions);
      w.u32(static_cast<uint32_t>(body.size())).append(body.bytes);
      pcFields_.push_back(fde + 8);
      w.put32(table + 8 * i + 4, static_cast<uint32_t>(fde));
    }
    w.u32(0);  // the terminator
    size_ = w.size();
    bytes_ = placeFakeTable(w.bytes);
    for (size_t i = 0; i < functions_.size(); ++i) {
      const uint64_t field = reinterpret_cast<uint64_t>(bytes_ + pcFields_[i]);
      put(pcFields_[i], static_cast<uint32_t>(functions_[i].pcStart - field));
      put(table + 8 * i, static_cast<uint32_t>(functions_[i].pcStart - header()));
    }
  }

  uintptr_t header() const { return reinterpret_cast<uintptr_t>(bytes_); }
  uintptr_t ehFrame() const { return header() + ehFrame_; }
  // The .eh_frame, from its first record to its terminator.
  DVCRDwarfSection section() const { return {ehFrame(), size_ - ehFrame_}; }
  // An image slot over fakeText with these tables.
  DVCRBinaryImageSlot slot() const {
    return {fakeTextAddress(0), sizeof fakeText, header(), 0, 0, ehFrame(), size_ - ehFrame_, 0};
  }
  uint64_t fdeOffset(size_t index) const { return fdeOffsets_[index]; }
  uintptr_t fde(size_t index) const { return ehFrame() + fdeOffsets_[index]; }

 private:
  void put(size_t at, uint32_t value) { memcpy(bytes_ + at, &value, 4); }

  std::vector<Function> functions_;
  uint8_t* bytes_ = nullptr;
  size_t ehFrame_ = 0;
  size_t size_ = 0;
  std::vector<uint64_t> fdeOffsets_;
  std::vector<size_t> pcFields_;
};

// Empties the slot table when it goes, so no test sees another's images.
class ScopedImageSlots {
 public:
  ScopedImageSlots() { clear(); }
  ~ScopedImageSlots() { clear(); }

  void add(const DVCRBinaryImageSlot& slot) { DVCRBinaryImageSlots()[count_++] = slot; }

  // Every image the dynamic linker lists, as crash-time code would see it.
  void addLoadedImages() {
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* self) {
          for (int i = 0; i < info->dlpi_phnum; ++i) {
            if (info->dlpi_phdr[i].p_type != PT_LOAD) continue;
            DVCRElfImage image;
            const void* inside = reinterpret_cast<const void*>(info->dlpi_addr + info->dlpi_phdr[i].p_vaddr);
            if (!DVCRElfImageFromLoadedAddress(inside, &image)) return 0;
            auto text = DVCRElfImageGetTextExtent(image);
            if (!text) return 0;
            auto section = DVCRElfImageGetEHFrameSection(image).value_or(DVCRElfTextExtent{});
            static_cast<ScopedImageSlots*>(self)->add({text->start, text->size,
                                                       DVCRElfImageGetEHFrameAddress(image).value_or(0), 0, 0,
                                                       section.start, section.size, 0});
            return 0;
          }
          return 0;
        },
        this);
  }

 private:
  static void clear() { memset(DVCRBinaryImageSlots(), 0, sizeof(DVCRBinaryImageSlot) * kDVCRBinaryImageSlotCount); }
  size_t count_ = 0;
};

}  // namespace dvcr_testing
