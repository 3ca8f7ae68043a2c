// What soapkit exports.
#pragma once

#if defined(_WIN32)
#if defined(SOAPKIT_BUILD)
#define SOAPKIT_API __declspec(dllexport)
#else
#define SOAPKIT_API __declspec(dllimport)
#endif
#else
#define SOAPKIT_API __attribute__((visibility("default")))
#endif
