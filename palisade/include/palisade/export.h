// PALISADE_API marks what the library exports: whole classes, private members included.
#pragma once

#if defined(_WIN32)
#if defined(PALISADE_BUILD)
#define PALISADE_API __declspec(dllexport)
#else
#define PALISADE_API __declspec(dllimport)
#endif
#else
#define PALISADE_API __attribute__((visibility("default")))
#endif
