// Numbers as the results text and the printout write them: "#,##0", "#,##0.00", "0", "0.00" and
// "0.000e+00".
#pragma once

#include <string>

namespace kestrom {

// Thousands separated by ",", the given number of decimals after "."; halves round away from
// zero. A value that is no number is written as 0.
std::string formatGrouped(double value, int decimals);
// The same without the thousands separators ("0", "0.00").
std::string formatUngrouped(double value, int decimals);
// Three decimals and a signed exponent of at least two digits ("1.235e+04", "0.000e+00").
std::string formatScientific(double value);

}  // namespace kestrom
