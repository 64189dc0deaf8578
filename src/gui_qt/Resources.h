#pragma once
// Makes the program's compiled-in Qt resources (the icon) available.
// Needed because they live in a static library, whose initialiser the linker would drop.
// GUI thread; safe to call any number of times.
void EnsureTillstreamResources();
