// The calendar service's client (libecal and the forty libraries it pulls in)
// lives in a module beside the app, loaded when the calendar store is first
// opened instead of at every start. These stand in for the service's entry
// points in the app; programs that link the service's code directly (tests,
// benches) take that instead, and the module binds its own.

#include "platform/EdsCalendarStore.h"
#include "platform/EdsFileMove.h"

#include <QCoreApplication>
#include <QLibrary>

#include <optional>

namespace {

struct ServiceModule {
    EdsCalendarStore* (*connect)(QString* error) = nullptr;
    bool (*moveFiles)(const QString& folder, EdsCalendarStore& target, QString* error) = nullptr;
};

const ServiceModule* serviceModule()
{
    static const std::optional<ServiceModule> loaded = []() -> std::optional<ServiceModule> {
        QLibrary library(QCoreApplication::applicationDirPath() + QStringLiteral("/tessary-calendar-service"));
        ServiceModule m;
        m.connect = reinterpret_cast<decltype(m.connect)>(library.resolve("tessaryCalendarServiceConnect"));
        m.moveFiles = reinterpret_cast<decltype(m.moveFiles)>(library.resolve("tessaryCalendarServiceMoveFiles"));
        if (!m.connect || !m.moveFiles)
            return std::nullopt;
        return m;
    }();
    return loaded ? &*loaded : nullptr;
}

const QString kMissing = QStringLiteral("缺少系统日历组件 tessary-calendar-service");

}

__attribute__((weak)) std::unique_ptr<EdsCalendarStore> EdsCalendarStore::connect(QString* error)
{
    if (const ServiceModule* module = serviceModule())
        return std::unique_ptr<EdsCalendarStore>(module->connect(error));
    if (error)
        *error = kMissing;
    return nullptr;
}

__attribute__((weak)) bool EdsFileMove::run(const QString& folder, EdsCalendarStore& target, QString* error)
{
    if (const ServiceModule* module = serviceModule())
        return module->moveFiles(folder, target, error);
    if (error)
        *error = kMissing;
    return false;
}
