#include "common/module_instance.h"

namespace kx {

HINSTANCE ModuleInstance = nullptr;

} // namespace kx
