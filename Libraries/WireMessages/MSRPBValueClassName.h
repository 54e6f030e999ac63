// The platform's class name of a value, as the runtime's texts name the
// type of what they refused: "NSNumber" for bool, integer and real values,
// "NSString", "NSData", "NSDate", "NSArray", "NSDictionary", "NSNull".
#pragma once

#include <string>

#include "Platform/Foundation/Value.h"

std::string MSRPBValueClassName(const ns::Value& value);
