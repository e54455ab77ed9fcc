// The program's pictures and the player control's stored state are compiled into the
// program; a static library's resources must be registered once before first use.

#include "app/Resources.h"

#include <QtGlobal>

static void registerResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace lanfan {

void ensureResources()
{
    static const bool done = (registerResources(), true);
    (void)done;
}

} // namespace lanfan
