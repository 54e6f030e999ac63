// The images (executable and shared libraries) mapped into this process,
// with add and remove callbacks as the crash reporter needs them.
//
// The C library offers no such callbacks, only a walk of the loaded images
// (dl_iterate_phdr). The loader keeps the list of its last walk; each new
// walk ("pass") is compared with it, and the callbacks hear of every image
// that went away (first) and every image that came (after). A pass runs
// when a callback is registered, on every `open` and `close` made through
// here (so libraries pulled in as dependencies count too), and on
// `loadedImages`. Images loaded or unloaded by calling dlopen/dlclose
// directly are seen only at the next pass.
//
// `close` tells the remove callbacks before the image is unmapped when it
// can: when the library was first loaded through `open` and this is its
// last `close` here. Should the image stay mapped after all (another
// library still needs it), the pass after the unmap adds it again. Images
// that go with it (its dependencies) are told after the unmap.
//
// Registering calls the new callback at once for every image of the list.
// Callbacks run one at a time, under the loader's lock: they must not call
// back into the loader.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace loader {

struct Image {
  const void* header;  // the ELF header in memory: the image's base
  intptr_t slide;      // load bias: memory address minus the file's address
  const char* path;    // the file; the main executable's is /proc/self/exe's target
};

using ImageCallback = void (*)(const Image& image);

void registerAddedCallback(ImageCallback callback);
void registerRemovedCallback(ImageCallback callback);
// Forgets the callback in both lists (a set-up that runs again, tests).
void unregisterCallback(ImageCallback callback);

// dlopen / dlclose with a pass after each (and, for close, the early remove
// described above). Same arguments and results as theirs.
void* open(const char* path, int flags);
int close(void* handle);

struct LoadedImage {
  const void* header;
  intptr_t slide;
  std::string path;
};
// A pass, then the list in the C library's order (the executable first).
std::vector<LoadedImage> loadedImages();
// The running executable.
LoadedImage mainExecutable();

}  // namespace loader
