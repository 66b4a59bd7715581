#include "core/ScriptLiteral.h"

namespace twdesktop {}  // namespace twdesktop
