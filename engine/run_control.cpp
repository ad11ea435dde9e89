#include "engine/run_control.h"

#ifdef __linux__
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace rfsplitter {

void RunControl::EnterThread() const {
#ifdef __linux__
  // On Linux a nice value belongs to the thread: this one alone gives way.
  if (background) setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 10);
#endif
}

}  // namespace rfsplitter
