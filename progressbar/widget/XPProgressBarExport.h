#pragma once

// What the shared library shows an application. It is built with hidden visibility, so only
// what XPPROGRESSBAR_EXPORT marks (the widget's class) is visible outside it. The project's own
// static build of the widget defines XPPROGRESSBAR_STATIC.

#include <QtCore/qglobal.h>

#if defined(XPPROGRESSBAR_STATIC)
#define XPPROGRESSBAR_EXPORT
#elif defined(XPPROGRESSBAR_BUILDING)
#define XPPROGRESSBAR_EXPORT Q_DECL_EXPORT
#else
#define XPPROGRESSBAR_EXPORT Q_DECL_IMPORT
#endif
