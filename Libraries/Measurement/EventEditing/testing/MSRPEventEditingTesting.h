// For tests: the module creators an engine keeps, and a look at (and a
// veto over) every program an engine loads.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "Libraries/Measurement/EventEditing/MSRPEventEditing.h"

// The engine's creator of that name; empty when it has none.
MSRPModuleCreator MSRPEventEditingModuleCreatorForTesting(const MSRPEventEditing& engine, const std::u16string& name);

// Called with each program any engine loads, before it is loaded; an error
// it answers fails that load with it. An empty function stops the calls.
void MSRPEventEditingSetLoadObserverForTesting(
    std::function<std::optional<ns::Error>(const MSRPBProgram& program)> observer);
