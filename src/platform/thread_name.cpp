#include "platform/thread_name.h"

#include <pthread.h>

namespace quillar::platform {

void nameThread(std::thread& thread, const char* name) {
    ::pthread_setname_np(thread.native_handle(), name);
}

}  // namespace quillar::platform
