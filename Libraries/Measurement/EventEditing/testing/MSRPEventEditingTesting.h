// For tests: the module creators an engine keeps, and a look at every
// program an engine loads.
#pragma once

#include <functional>
#include <string>

#include "Libraries/Measurement/EventEditing/MSRPEventEditing.h"

// The engine's creator of that name; empty when it has none.
MSRPModuleCreator MSRPEventEditingModuleCreatorForTesting(const MSRPEventEditing& engine, const std::u16string& name);

// Called with each program any engine loads, before it is loaded. An empty
// function stops the calls.
void MSRPEventEditingSetLoadObserverForTesting(std::function<void(const MSRPBProgram& program)> observer);
