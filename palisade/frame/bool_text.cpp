#include "frame/bool_text.h"

bool xfbKvwiWebInfraGetBoolFromString(const char* mpszStringOrNULL, bool mbDefault) {
  if (mpszStringOrNULL == nullptr) return mbDefault;
  switch (mpszStringOrNULL[0]) {
    case '1': case 'T': case 't': case 'Y': case 'y':
      return true;
    case '0': case 'F': case 'f': case 'N': case 'n':
      return false;
    case 'O': case 'o':
      switch (mpszStringOrNULL[1]) {
        case 'N': case 'n': return true;
        case 'F': case 'f': return false;
        default: return mbDefault;
      }
    default:
      return mbDefault;
  }
}
