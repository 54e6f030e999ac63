// The outcome of one session start when it does not succeed. The first two
// carry the error behind them (the installations service's, the
// transport's); the others carry none.
#pragma once

#include <optional>

#include "Platform/Foundation/Error.h"

struct DozaveveSessionsError {
  enum class Kind {
    SessionInstallationsError,
    DataTransportError,
    SessionSamplingError,
    DisabledViaSettingsError,
    DataCollectionError,
    NoDependenciesError,
  };

  Kind kind;
  std::optional<ns::Error> error;

  bool operator==(const DozaveveSessionsError&) const = default;
};

// Nothing on success.
using SessionStartResult = std::optional<DozaveveSessionsError>;
