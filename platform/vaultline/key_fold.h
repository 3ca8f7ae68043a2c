// Case folding of list keys, so that a hash map finds them the way lstrcmpiA compares them.
#pragma once

#include <string>

namespace vaultline {

// One text for all spellings that differ only in case (ASCII and Windows-1252 letters):
// FoldKey(a) == FoldKey(b) exactly when the ini model's names a and b are the same.
std::string FoldKey(std::string key);

}  // namespace vaultline
