#include "coinstaller/module_instance.h"

namespace kx {

HINSTANCE ModuleInstance = nullptr;

} // namespace kx
