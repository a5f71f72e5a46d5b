// tessary-reminders: shows the app's shoot reminders on time while the app is
// closed. Started by the app and at login; one runs per session.

#include "platform/Product.h"
#include "platform/ReminderAgent.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // The same name as the app's, for the notifications and the data folder.
    QCoreApplication::setApplicationName(QString::fromLatin1(Product::kDisplayName));
    return ReminderAgent::run();
}
