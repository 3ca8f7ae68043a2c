// The yes/no reading of an option text.
#pragma once

// true for a text starting with 1, T, t, Y, y or "on"; false for 0, F, f, N, n or "of";
// `mbDefault` for NULL and anything else. At most the first two bytes are read.
bool xfbKvwiWebInfraGetBoolFromString(const char* mpszStringOrNULL, bool mbDefault);
