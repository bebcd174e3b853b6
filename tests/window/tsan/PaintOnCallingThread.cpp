#include <QThreadPool>

// Linked into the window's tests only when they are built with ThreadSanitizer, and exported so that
// it stands in for Qt's own: with no global thread pool, Qt's raster engine fills and converts images
// on the thread that paints. Qt is not built with ThreadSanitizer and its pool hands work over
// through locks it cannot see, so every large fill was reported as a race inside Qt. The project's own
// threads and hand-offs are untouched and stay fully checked.
QThreadPool* QThreadPool::globalInstance() {
    return nullptr;
}
