#pragma once

#include <QString>
#include <QUuid>

// A photo-shoot offer; an order refers to it only by name.
struct Package
{
    QUuid id;
    QString name;
    double price = 0;
    double deposit = 0;
    bool isBuiltin = false;

    Package() = default;
    // A package with a fresh random id.
    Package(const QString& name, double price, double deposit, bool isBuiltin);

    bool operator==(const Package&) const = default;
};
