// Numbers as program text, both ways.
//
// To text: "NaN", "Infinity", "-Infinity"; 0 and -0 give "0"; otherwise the
// shortest decimal digits that read back as the same double, written
// plainly for 0.000001 <= |v| < 1e21 ("0.1", "123456789", "1e+21" is not
// plain) and else with one digit before the point and an exponent
// without leading zeros: "1e+21", "1.5e-7", "5e-324".
//
// From text: white space and line breaks at both ends are ignored; nothing
// left gives 0; exactly "NaN", "Infinity" and "-Infinity" give themselves;
// otherwise the whole text must be one decimal number, optionally signed,
// with an optional fraction and exponent ("-1.5e3", "+.5", "7."), else NaN.
// "inf", "nan" and hexadecimal are no numbers. Too large gives an
// infinity, too small 0.
#pragma once

#include <string>
#include <string_view>

std::u16string MSRPStringFromNumber(double value);
double MSRPNumberFromString(std::u16string_view text);
