// One include for the text helpers: UTF-16 counting and slicing, lines,
// trimming and splitting, comparison and search, case mapping, formatting.
#pragma once

#include "Platform/Foundation/Format.h"
#include "Platform/Foundation/StringCase.h"
#include "Platform/Foundation/StringCompare.h"
#include "Platform/Foundation/StringLines.h"
#include "Platform/Foundation/StringOps.h"
#include "Platform/Foundation/StringUtf16.h"
