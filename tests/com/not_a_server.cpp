// A shared object without the exports of an in-process server.
extern "C" __attribute__((visibility("default"))) int NotAServer() { return 1; }
