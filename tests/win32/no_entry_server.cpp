// Loads fine but is no in-process server: activation must refuse it.
#if defined(_WIN32)
extern "C" __declspec(dllexport) int NotAComServer() { return 0; }
#else
extern "C" __attribute__((visibility("default"))) int NotAComServer() { return 0; }
#endif
