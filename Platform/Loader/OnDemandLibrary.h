// A shared library the program opens the first time it is needed rather
// than at start: one only reached on rare paths (a desktop window, the
// network) costs a launch nothing until then, where the dynamic linker
// would map and relocate it, and every library it pulls in, before main.
//
// The library is opened through loader::open, so the image callbacks (the
// crash reporter's list of binary images) hear of it and of what it
// brings. Its functions are looked up by name; `function` checks the
// pointer type against the declaration of the library's own header:
//
//   static loader::OnDemandLibrary sdl("libSDL2-2.0.so.0");
//   auto createWindow = sdl.function(&SDL_CreateWindow, "SDL_CreateWindow");
//
// The header's declaration is only named, never called, so the program
// does not link the library. Thread-safe; the library stays open for the
// process (its functions may be held anywhere).
//
// A table of several functions: a list macro LIST(X) that names each as
// X(prefix, name), then
//
//   struct Sdl { SDL_FUNCTIONS(LOADER_TABLE_MEMBER) };  // Sdl::CreateWindow, ...
//   bool all = true SDL_FUNCTIONS(LOADER_TABLE_FIND);    // with `library`, `table`, `why` in scope
#pragma once

#include <mutex>
#include <string>

namespace loader {

class OnDemandLibrary {
 public:
  // `soname`: the file name the dynamic linker would look for, with the
  // major version the program was built against ("libcurl.so.4").
  explicit OnDemandLibrary(std::string soname) : soname_(std::move(soname)) {}
  OnDemandLibrary(const OnDemandLibrary&) = delete;
  OnDemandLibrary& operator=(const OnDemandLibrary&) = delete;

  // Opens the library once; later calls answer as the first did. False with
  // the dynamic linker's reason in `why` when it cannot be opened.
  bool open(std::string* why = nullptr);

  // The address of the library's function `name` (opening the library when
  // it is not yet open), typed as `declared`; null with `why` when the
  // library or the function is missing.
  template <typename F>
  F* function(F* declared, const char* name, std::string* why = nullptr) {
    (void)declared;
    return reinterpret_cast<F*>(symbol(name, why));
  }

  // Sets `slot` to the function `name`; false with `why` when missing.
  template <typename F>
  bool find(F*& slot, const char* name, std::string* why = nullptr) {
    slot = function(slot, name, why);
    return slot != nullptr;
  }

  const std::string& soname() const { return soname_; }

 private:
  void* symbol(const char* name, std::string* why);

  std::string soname_;
  std::once_flag once_;
  void* handle_ = nullptr;
  std::string error_;
};

}  // namespace loader

// See the table above: a member typed by the library header's declaration
// of prefix##name, and the lookup that fills it.
#define LOADER_TABLE_MEMBER(prefix, name) decltype(&::prefix##name) name = nullptr;
#define LOADER_TABLE_FIND(prefix, name) &&library.find(table.name, #prefix #name, why)
