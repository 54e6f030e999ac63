// The event-editing engine of one configuration: the modules its program
// may require, and the program that edits events before they are stored.
//
//   MSRPEventEditing engine;
//   engine.setModuleCreator([] { return module; }, u"internal.remoteConfig");
//   ns::Error error;
//   engine.loadProgram(*program, error);   // failure: error is set
//
// Today the engine keeps its module creators and accepts every program
// without running it; the editing engine's own work runs programs and
// events behind the same signatures. One thread at a time uses an engine.
#pragma once

#include <map>
#include <string>

#include "Libraries/Measurement/EventEditing/MSRPDynamicProvider.h"
#include "Libraries/WireMessages/MSRPBProgramMessages.h"
#include "Platform/Foundation/Error.h"

class MSRPEventEditing {
 public:
  MSRPEventEditing() = default;
  MSRPEventEditing(const MSRPEventEditing&) = delete;
  MSRPEventEditing& operator=(const MSRPEventEditing&) = delete;

  // The creator of the module a program requires by this name; replaces
  // any creator of the same name.
  void setModuleCreator(MSRPModuleCreator creator, const std::u16string& name);
  // Loads the program; a failure leaves its error in `error`.
  void loadProgram(const MSRPBProgram& program, ns::Error& error);

 private:
  friend MSRPModuleCreator MSRPEventEditingModuleCreatorForTesting(const MSRPEventEditing& engine,
                                                                   const std::u16string& name);

  std::map<std::u16string, MSRPModuleCreator> moduleCreators_;
};
