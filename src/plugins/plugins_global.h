#pragma once

#include <QtGlobal>

#if defined(RQ_PLUGINS_LIBRARY)
#define RQ_PLUGINS_EXPORT Q_DECL_EXPORT
#else
#define RQ_PLUGINS_EXPORT Q_DECL_IMPORT
#endif
