#include "Package.h"

Package::Package(const QString& name_, double price_, double deposit_, bool isBuiltin_)
    : id(QUuid::createUuid())
    , name(name_)
    , price(price_)
    , deposit(deposit_)
    , isBuiltin(isBuiltin_)
{
}
