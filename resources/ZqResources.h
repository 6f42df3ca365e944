#pragma once
// The embedded images live in a static library, where nothing would otherwise
// reference them and the linker would leave them out of the programs.

#include <QtGlobal>

// Must stay in the global namespace: Q_INIT_RESOURCE declares the generated
// registration function where it is expanded.
inline void initZqResources() {
    Q_INIT_RESOURCE(zq_resources);
}
