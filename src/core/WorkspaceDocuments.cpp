#include "core/WorkspaceDocuments.h"

namespace twdesktop {}  // namespace twdesktop
