#include "core/BridgeMessage.h"

namespace twdesktop {}  // namespace twdesktop
