// Loads fine but is no in-process server: activation must refuse it.
extern "C" __attribute__((visibility("default"))) int NotAComServer() { return 0; }
