#include <pthread.h>

#include "platform/thread_name.h"

void NameCurrentThread(const char* name) {
    pthread_setname_np(pthread_self(), name);
}
