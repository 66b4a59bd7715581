#include "core/TextRules.h"

namespace twdesktop {}  // namespace twdesktop
