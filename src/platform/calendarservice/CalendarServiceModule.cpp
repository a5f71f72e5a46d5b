// The calendar service store's entry points, as the app loads them.

#include "platform/EdsCalendarStore.h"
#include "platform/EdsFileMove.h"

extern "C" Q_DECL_EXPORT EdsCalendarStore* tessaryCalendarServiceConnect(QString* error)
{
    return EdsCalendarStore::connect(error).release();
}

extern "C" Q_DECL_EXPORT bool tessaryCalendarServiceMoveFiles(const QString& folder, EdsCalendarStore& target,
                                                             QString* error)
{
    return EdsFileMove::run(folder, target, error);
}
