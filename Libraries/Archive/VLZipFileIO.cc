#include "Libraries/Archive/VLZipFileIO.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

constexpr size_t kBlockSize = 64 * 1024;

struct Stream {
  int fd = -1;
  uint64_t size = 0;
  uint64_t position = 0;
  bool failed = false;
  // The block of the file at blockStart, blockLength bytes of it valid.
  std::vector<unsigned char> block = std::vector<unsigned char>(kBlockSize);
  uint64_t blockStart = 0;
  size_t blockLength = 0;

  bool readAt(uint64_t offset, unsigned char* out, size_t length) {
    while (length > 0) {
      ssize_t n = ::pread(fd, out, length, static_cast<off_t>(offset));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      out += n;
      offset += static_cast<uint64_t>(n);
      length -= static_cast<size_t>(n);
    }
    return true;
  }

  // Up to `length` bytes from the position; fewer at the end of the file.
  size_t read(unsigned char* out, size_t length) {
    length = static_cast<size_t>(std::min<uint64_t>(length, size - std::min(position, size)));
    size_t done = 0;
    while (done < length) {
      const uint64_t at = position + done;
      if (at < blockStart || at >= blockStart + blockLength) {
        if (length - done >= kBlockSize) {  // large reads go straight to the caller
          if (!readAt(at, out + done, length - done)) {
            failed = true;
            break;
          }
          done = length;
          break;
        }
        blockStart = at;
        blockLength = static_cast<size_t>(std::min<uint64_t>(kBlockSize, size - at));
        if (!readAt(blockStart, block.data(), blockLength)) {
          blockLength = 0;
          failed = true;
          break;
        }
      }
      const size_t offset = static_cast<size_t>(at - blockStart);
      const size_t n = std::min(length - done, blockLength - offset);
      std::memcpy(out + done, block.data() + offset, n);
      done += n;
    }
    position += done;
    return done;
  }
};

voidpf openFile(voidpf, const void* filename, int mode) {
  if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ || !filename) return nullptr;
  int fd = ::open(static_cast<const char*>(filename), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  auto* stream = new Stream;
  stream->fd = fd;
  stream->size = static_cast<uint64_t>(st.st_size);
  return stream;
}

uLong readFile(voidpf, voidpf stream, void* buffer, uLong size) {
  return static_cast<uLong>(static_cast<Stream*>(stream)->read(static_cast<unsigned char*>(buffer), size));
}

uLong writeFile(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T tellFile(voidpf, voidpf stream) { return static_cast<Stream*>(stream)->position; }

long seekFile(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  auto* s = static_cast<Stream*>(stream);
  uint64_t base = origin == ZLIB_FILEFUNC_SEEK_SET ? 0 : origin == ZLIB_FILEFUNC_SEEK_CUR ? s->position : s->size;
  if (origin != ZLIB_FILEFUNC_SEEK_SET && origin != ZLIB_FILEFUNC_SEEK_CUR && origin != ZLIB_FILEFUNC_SEEK_END)
    return -1;
  s->position = base + offset;
  return 0;
}

int closeFile(voidpf, voidpf stream) {
  auto* s = static_cast<Stream*>(stream);
  int result = ::close(s->fd);
  delete s;
  return result;
}

int errorFile(voidpf, voidpf stream) { return static_cast<Stream*>(stream)->failed ? 1 : 0; }

}  // namespace

unzFile VLZipFileIO::open(const std::string& path) {
  zlib_filefunc64_def functions{openFile, readFile, writeFile, tellFile, seekFile, closeFile, errorFile, nullptr};
  return unzOpen2_64(path.c_str(), &functions);
}
