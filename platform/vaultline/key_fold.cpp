#include "key_fold.h"

#include "win32/kernel.h"

#include <array>

namespace vaultline {
namespace {

// Each byte maps to the smallest byte that lstrcmpiA finds equal to it. Derived from lstrcmpiA
// itself so the list and the ini files it reads can never disagree on which keys are the same.
std::array<char, 256> MakeFoldTable() {
  std::array<char, 256> table{};
  for (int c = 0; c < 256; ++c) {
    table[c] = static_cast<char>(c);
    const char a[2] = {static_cast<char>(c), 0};
    for (int d = 1; d < c; ++d) {
      const char b[2] = {static_cast<char>(d), 0};
      if (lstrcmpiA(a, b) == 0) {
        table[c] = static_cast<char>(d);
        break;
      }
    }
  }
  return table;
}

}  // namespace

std::string FoldKey(std::string key) {
  static const std::array<char, 256> table = MakeFoldTable();
  for (char& c : key) c = table[static_cast<unsigned char>(c)];
  return key;
}

}  // namespace vaultline
