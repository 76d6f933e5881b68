#include "platform/running_marker.h"

#include <windows.h>

#include "platform/scoped_handle.h"

namespace platform {

void MarkRunning() {
    static Scoped<KernelHandleTraits> marker(CreateMutexW(nullptr, FALSE, kRunningMarkerName));
}

}  // namespace platform
