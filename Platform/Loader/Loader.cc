#include "Platform/Loader/Loader.h"

#include <dlfcn.h>
#include <elf.h>
#include <link.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <mutex>

namespace loader {

namespace {

struct Handle {
  int opens = 0;
  bool loadedHere = false;  // the image was not mapped before the first open
};

struct State {
  std::mutex mutex;
  std::vector<LoadedImage> images;  // as of the last pass
  bool walked = false;
  std::vector<ImageCallback> added, removed;
  std::map<void*, Handle> handles;
};

State& state() {
  static State* shared = new State;  // used from static destructors of other libraries' users
  return *shared;
}

std::string executablePath() {
  char path[4096];
  ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  return length > 0 ? std::string(path, static_cast<size_t>(length)) : std::string();
}

int collect(dl_phdr_info* info, size_t, void* context) {
  auto* images = static_cast<std::vector<LoadedImage>*>(context);
  for (uint16_t i = 0; i < info->dlpi_phnum; ++i) {
    const ElfW(Phdr)& segment = info->dlpi_phdr[i];
    if (segment.p_type != PT_LOAD || segment.p_offset != 0) continue;
    const auto* header = reinterpret_cast<const void*>(info->dlpi_addr + segment.p_vaddr);
    // The C library lists the executable first, with an empty name.
    std::string path = images->empty() && (info->dlpi_name == nullptr || info->dlpi_name[0] == '\0')
                           ? executablePath()
                           : std::string(info->dlpi_name != nullptr ? info->dlpi_name : "");
    images->push_back(LoadedImage{header, static_cast<intptr_t>(info->dlpi_addr), std::move(path)});
    break;
  }
  return 0;
}

bool sameImage(const LoadedImage& a, const LoadedImage& b) {
  return a.header == b.header && a.slide == b.slide && a.path == b.path;
}

bool listed(const std::vector<LoadedImage>& images, const LoadedImage& image) {
  return std::any_of(images.begin(), images.end(), [&](const LoadedImage& other) { return sameImage(other, image); });
}

void tell(const std::vector<ImageCallback>& callbacks, const LoadedImage& image) {
  Image view{image.header, image.slide, image.path.c_str()};
  for (ImageCallback callback : callbacks) callback(view);
}

// Walks the images and tells the callbacks what changed since the last
// walk: removals first, so that a slot freed by an unload is free before a
// load at the same address takes one. Returns the images that came.
std::vector<LoadedImage> pass(State& s) {
  std::vector<LoadedImage> now;
  dl_iterate_phdr(collect, &now);
  std::vector<LoadedImage> came;
  for (const auto& image : s.images)
    if (!listed(now, image)) tell(s.removed, image);
  for (const auto& image : now)
    if (!listed(s.images, image)) {
      tell(s.added, image);
      came.push_back(image);
    }
  s.images = std::move(now);
  s.walked = true;
  return came;
}

void ensureWalked(State& s) {
  if (!s.walked) pass(s);
}

// The listed image of an open handle.
const LoadedImage* imageOfHandle(const State& s, void* handle) {
  link_map* map = nullptr;
  if (dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr) return nullptr;
  for (const auto& image : s.images)
    if (image.slide == static_cast<intptr_t>(map->l_addr) && image.path == (map->l_name ? map->l_name : ""))
      return &image;
  return nullptr;
}

}  // namespace

void registerAddedCallback(ImageCallback callback) {
  State& s = state();
  std::lock_guard lock(s.mutex);
  ensureWalked(s);
  s.added.push_back(callback);
  for (const auto& image : s.images) tell({callback}, image);
}

void registerRemovedCallback(ImageCallback callback) {
  State& s = state();
  std::lock_guard lock(s.mutex);
  ensureWalked(s);
  s.removed.push_back(callback);
}

void unregisterCallback(ImageCallback callback) {
  State& s = state();
  std::lock_guard lock(s.mutex);
  std::erase(s.added, callback);
  std::erase(s.removed, callback);
}

void* open(const char* path, int flags) {
  State& s = state();
  std::lock_guard lock(s.mutex);
  ensureWalked(s);
  void* handle = dlopen(path, flags);
  if (handle == nullptr) return nullptr;
  std::vector<LoadedImage> came = pass(s);
  Handle& entry = s.handles[handle];
  if (entry.opens++ == 0) {
    const LoadedImage* image = imageOfHandle(s, handle);
    entry.loadedHere = image != nullptr && listed(came, *image);
  }
  return handle;
}

int close(void* handle) {
  State& s = state();
  std::lock_guard lock(s.mutex);
  ensureWalked(s);
  auto entry = s.handles.find(handle);
  if (entry != s.handles.end() && --entry->second.opens == 0) {
    if (const LoadedImage* image = entry->second.loadedHere ? imageOfHandle(s, handle) : nullptr) {
      // Tell before the unmap; the pass below adds it back if it stays.
      LoadedImage going = *image;
      s.images.erase(s.images.begin() + (image - s.images.data()));
      tell(s.removed, going);
    }
    s.handles.erase(entry);
  }
  int result = dlclose(handle);
  pass(s);
  return result;
}

std::vector<LoadedImage> loadedImages() {
  State& s = state();
  std::lock_guard lock(s.mutex);
  pass(s);
  return s.images;
}

LoadedImage mainExecutable() {
  State& s = state();
  std::lock_guard lock(s.mutex);
  ensureWalked(s);
  return s.images.empty() ? LoadedImage{nullptr, 0, executablePath()} : s.images.front();
}

}  // namespace loader
