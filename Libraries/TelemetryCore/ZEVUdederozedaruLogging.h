// The installations service writes every line through the core logger
// (ZOVLogger.h) under this service tag, with "I-ZIS" message codes.
#pragma once

inline constexpr const char* kZEVUdederozedaruLoggerService = "[DozaveveInstallations]";
