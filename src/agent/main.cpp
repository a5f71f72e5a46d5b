// tessary-reminders: shows the app's shoot reminders on time while the app is
// closed. Started by the app and at login; one runs per session.

#include "platform/Product.h"
#include "platform/ReminderAgent.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>

#include <malloc.h>

namespace {

constexpr int kHeapSlackBytes = 128 * 1024;

// The agent sleeps nearly all the time, so what it keeps resident is what it
// costs the session. Its threads take turns rather than run together: one
// heap serves them all; the pending list's big buffers go straight to the
// system and back; and heap freed by a reload is returned before sleeping.
void keepHeapSmall()
{
    mallopt(M_ARENA_MAX, 1);
    // Set explicitly, so glibc does not raise them after the first large free.
    mallopt(M_MMAP_THRESHOLD, 64 * 1024);
    mallopt(M_TRIM_THRESHOLD, kHeapSlackBytes);
}

void returnFreedHeapBeforeSleeping()
{
    auto* dispatcher = QAbstractEventDispatcher::instance();
    QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, dispatcher, [] {
        // Free bytes stay counted once returned: trim only when more was freed.
        static size_t trimmedFree = 0;
        const size_t free = mallinfo2().fordblks;
        if (free < trimmedFree)
            trimmedFree = free;
        else if (free - trimmedFree > size_t(kHeapSlackBytes)) {
            malloc_trim(0);
            trimmedFree = mallinfo2().fordblks;
        }
    });
}

}

int main(int argc, char** argv)
{
    keepHeapSmall();
    // The plain Unix event loop: nothing here needs GLib's, which costs pages.
    qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    // The same name as the app's, for the notifications and the data folder.
    QCoreApplication::setApplicationName(QString::fromLatin1(Product::kDisplayName));
    returnFreedHeapBeforeSleeping();
    return ReminderAgent::run();
}
