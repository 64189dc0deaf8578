#include "gui_qt/Resources.h"

#include <QtGlobal>

static void InitResourcesOnce() {
    Q_INIT_RESOURCE(resources);
}

void EnsureTillstreamResources() {
    static const bool done = (InitResourcesOnce(), true);
    (void)done;
}
