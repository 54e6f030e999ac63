#include "Libraries/CrashReporter/DVCRElf.h"

#include <elf.h>
#include <link.h>

#include <cstring>

#include "Libraries/CrashReporter/DVCRSafeRead.h"

namespace {

constexpr uint32_t kNoteHeaderSize = 12;  // namesz, descsz, type
constexpr char kGNUNoteName[] = "GNU";    // with its NUL: 4 bytes

uint64_t align4(uint64_t value) { return (value + 3) & ~uint64_t{3}; }

Elf64_Phdr programHeader(const DVCRElfImage& image, uint16_t index) {
  Elf64_Phdr header;
  memcpy(&header, image.programHeaders + static_cast<size_t>(index) * image.programHeaderSize, sizeof header);
  return header;
}

// Whether a loaded image maps the bytes [address, address + size) from its
// file: a segment the loader did not map must not be read.
bool isMappedFromFile(const DVCRElfImage& image, uint64_t address, uint64_t size) {
  for (uint16_t i = 0; i < image.programHeaderCount; ++i) {
    Elf64_Phdr load = programHeader(image, i);
    if (load.p_type == PT_LOAD && address >= load.p_vaddr && size <= load.p_filesz &&
        address - load.p_vaddr <= load.p_filesz - size)
      return true;
  }
  return false;
}

// The bytes of a segment as they can be read: from the file's mapping, or
// from memory, only when the segment lies inside it.
bool segmentBytes(const DVCRElfImage& image, const Elf64_Phdr& segment, const uint8_t** bytes, uint64_t* size) {
  if (image.loaded) {
    if (!isMappedFromFile(image, segment.p_vaddr, segment.p_memsz)) return false;
    *bytes = reinterpret_cast<const uint8_t*>(image.loadBias + segment.p_vaddr);
    *size = segment.p_memsz;
    return true;
  }
  if (segment.p_offset > image.fileSize || segment.p_filesz > image.fileSize - segment.p_offset) return false;
  *bytes = image.header + segment.p_offset;
  *size = segment.p_filesz;
  return true;
}

// The build id in one note segment; false when it holds none. A note that
// does not fit ends the walk.
bool buildIDInNotes(const uint8_t* notes, uint64_t size, uint8_t uuid[16]) {
  uint64_t at = 0;
  while (size - at >= kNoteHeaderSize) {
    uint32_t nameSize, descriptionSize, type;
    memcpy(&nameSize, notes + at, 4);
    memcpy(&descriptionSize, notes + at + 4, 4);
    memcpy(&type, notes + at + 8, 4);
    uint64_t name = at + kNoteHeaderSize;
    uint64_t description = name + align4(nameSize);
    if (align4(nameSize) > size - name || align4(descriptionSize) > size - description) return false;
    if (type == NT_GNU_BUILD_ID && nameSize == sizeof kGNUNoteName &&
        memcmp(notes + name, kGNUNoteName, sizeof kGNUNoteName) == 0) {
      memset(uuid, 0, 16);
      memcpy(uuid, notes + description, descriptionSize < 16 ? descriptionSize : 16);
      return descriptionSize > 0;
    }
    at = description + align4(descriptionSize);
  }
  return false;
}

bool isSoundHeader(const uint8_t* header) {
  return memcmp(header, ELFMAG, SELFMAG) == 0 && header[EI_CLASS] == ELFCLASS64 && header[EI_DATA] == ELFDATA2LSB;
}

struct LoadedSearch {
  uintptr_t address = 0;
  bool wantsFirst = false;  // the executable is listed first
  DVCRElfImage* image = nullptr;
  bool found = false;
};

void describeLoaded(const dl_phdr_info* info, DVCRElfImage* image) {
  *image = DVCRElfImage{};
  image->loaded = true;
  image->loadBias = info->dlpi_addr;
  image->programHeaders = reinterpret_cast<const uint8_t*>(info->dlpi_phdr);
  image->programHeaderCount = info->dlpi_phnum;
  image->programHeaderSize = sizeof(Elf64_Phdr);
  for (uint16_t i = 0; i < info->dlpi_phnum; ++i) {
    const Elf64_Phdr& segment = info->dlpi_phdr[i];
    if (segment.p_type == PT_LOAD && segment.p_offset == 0 && segment.p_filesz >= sizeof(Elf64_Ehdr)) {
      const auto* header = reinterpret_cast<const uint8_t*>(info->dlpi_addr + segment.p_vaddr);
      if (isSoundHeader(header)) image->header = header;
      break;
    }
  }
}

int findLoaded(dl_phdr_info* info, size_t, void* context) {
  auto* search = static_cast<LoadedSearch*>(context);
  bool match = search->wantsFirst;
  for (uint16_t i = 0; !match && i < info->dlpi_phnum; ++i) {
    const Elf64_Phdr& segment = info->dlpi_phdr[i];
    uintptr_t start = info->dlpi_addr + segment.p_vaddr;
    match = segment.p_type == PT_LOAD && search->address >= start && search->address - start < segment.p_memsz;
  }
  if (!match) return 0;
  describeLoaded(info, search->image);
  search->found = true;
  return 1;
}

bool searchLoaded(LoadedSearch search) {
  if (search.image == nullptr) return false;
  dl_iterate_phdr(findLoaded, &search);
  return search.found;
}

}  // namespace

bool DVCRElfImageFromFile(const DVCRMachOFile* file, DVCRElfImage* image) {
  if (file == nullptr || image == nullptr || file->mappedFile == nullptr) return false;
  *image = DVCRElfImage{};
  const auto* header = static_cast<const uint8_t*>(file->mappedFile);
  uint64_t size = file->mappedSize;
  if (size < sizeof(Elf64_Ehdr) || !isSoundHeader(header)) return false;
  Elf64_Ehdr elf;
  memcpy(&elf, header, sizeof elf);
  if (elf.e_phentsize < sizeof(Elf64_Phdr) || elf.e_phoff > size ||
      static_cast<uint64_t>(elf.e_phnum) * elf.e_phentsize > size - elf.e_phoff)
    return false;
  image->header = header;
  image->fileSize = size;
  image->programHeaders = header + elf.e_phoff;
  image->programHeaderCount = elf.e_phnum;
  image->programHeaderSize = elf.e_phentsize;
  return true;
}

bool DVCRElfImageFromLoadedAddress(const void* address, DVCRElfImage* image) {
  if (address == nullptr) return false;
  return searchLoaded(LoadedSearch{reinterpret_cast<uintptr_t>(address), false, image, false});
}

bool DVCRElfImageFromLoadedHeader(const void* header, uintptr_t loadBias, DVCRElfImage* image) {
  if (header == nullptr || image == nullptr) return false;
  const auto* bytes = static_cast<const uint8_t*>(header);
  if (!isSoundHeader(bytes)) return false;
  Elf64_Ehdr elf;
  memcpy(&elf, bytes, sizeof elf);
  // The first mapping starts with the headers and spans at least a page.
  constexpr uint64_t kHeaderPage = 4096;
  if (elf.e_phentsize < sizeof(Elf64_Phdr) || elf.e_phoff > kHeaderPage ||
      static_cast<uint64_t>(elf.e_phnum) * elf.e_phentsize > kHeaderPage - elf.e_phoff)
    return false;
  *image = DVCRElfImage{};
  image->loaded = true;
  image->loadBias = loadBias;
  image->header = bytes;
  image->programHeaders = bytes + elf.e_phoff;
  image->programHeaderCount = elf.e_phnum;
  image->programHeaderSize = elf.e_phentsize;
  return true;
}

bool DVCRElfImageGetCurrent(DVCRElfImage* image) { return searchLoaded(LoadedSearch{0, true, image, false}); }

const char* DVCRElfImageGetArchitectureName(const DVCRElfImage& image) {
  if (image.header == nullptr) return "unknown";
  uint16_t machine;
  memcpy(&machine, image.header + offsetof(Elf64_Ehdr, e_machine), sizeof machine);
  if (machine == EM_X86_64) return "x86_64";
  if (machine == EM_AARCH64) return "arm64";
  return "unknown";
}

bool DVCRElfImageGetUUID(const DVCRElfImage& image, uint8_t uuid[16]) {
  for (uint16_t i = 0; i < image.programHeaderCount; ++i) {
    Elf64_Phdr segment = programHeader(image, i);
    if (segment.p_type != PT_NOTE) continue;
    const uint8_t* notes = nullptr;
    uint64_t size = 0;
    if (segmentBytes(image, segment, &notes, &size) && buildIDInNotes(notes, size, uuid)) return true;
  }
  return false;
}

std::optional<DVCRElfTextExtent> DVCRElfImageGetTextExtent(const DVCRElfImage& image) {
  std::optional<uint64_t> headerAddress;
  uint64_t end = 0;
  for (uint16_t i = 0; i < image.programHeaderCount; ++i) {
    Elf64_Phdr segment = programHeader(image, i);
    if (segment.p_type != PT_LOAD) continue;
    if (segment.p_offset == 0 && !headerAddress) headerAddress = segment.p_vaddr;
    if ((segment.p_flags & PF_X) != 0 && segment.p_vaddr + segment.p_memsz > end)
      end = segment.p_vaddr + segment.p_memsz;
  }
  if (!headerAddress || end <= *headerAddress) return std::nullopt;
  uint64_t bias = image.loaded ? image.loadBias : 0;
  return DVCRElfTextExtent{*headerAddress + bias, end - *headerAddress};
}

std::optional<DVCRElfTextExtent> DVCRElfImageGetEHFrameSection(const DVCRElfImage& image) {
  std::optional<uint64_t> header = DVCRElfImageGetEHFrameAddress(image);
  if (!image.loaded || !header) return std::nullopt;
  // Version, three encodings, then the section's address, PC-relative
  // signed 32-bit in the only layout linkers write.
  uint8_t fixed[8];
  if (!DVCRReadMemory(reinterpret_cast<const void*>(*header), fixed, sizeof fixed) || fixed[0] != 1 ||
      fixed[1] != 0x1B)
    return std::nullopt;
  int32_t relative;
  memcpy(&relative, fixed + 4, sizeof relative);
  const uint64_t start = *header + 4 + static_cast<uint64_t>(static_cast<int64_t>(relative));
  for (uint16_t i = 0; i < image.programHeaderCount; ++i) {
    Elf64_Phdr segment = programHeader(image, i);
    if (segment.p_type != PT_LOAD) continue;
    const uint64_t begin = image.loadBias + segment.p_vaddr;
    const uint64_t end = begin + segment.p_memsz;
    if (start >= begin && start < end) return DVCRElfTextExtent{start, end - start};
  }
  return std::nullopt;
}

std::optional<uint64_t> DVCRElfImageGetEHFrameAddress(const DVCRElfImage& image) {
  for (uint16_t i = 0; i < image.programHeaderCount; ++i) {
    Elf64_Phdr segment = programHeader(image, i);
    if (segment.p_type == PT_GNU_EH_FRAME) return segment.p_vaddr + (image.loaded ? image.loadBias : 0);
  }
  return std::nullopt;
}
