#include "platform/published_ports.h"

#include <unistd.h>

#include <cstdlib>

std::string PublishedPortsFolder() {
    if (const char* dir = std::getenv("RAVLIN_PORT_DIR"); dir && *dir) {
        return dir;
    }
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
        return std::string(runtime) + "/ravlin-ports";
    }
    return "/tmp/ravlin-ports-" + std::to_string(getuid());
}
