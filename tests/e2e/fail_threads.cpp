// Loaded into radcon with LD_PRELOAD by the tests: every thread creation fails, as
// it does when a process limit (ulimit -u) is reached.
#include <errno.h>
#include <pthread.h>

extern "C" int pthread_create(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*) { return EAGAIN; }
