#pragma once

#include <QColor>
#include <QString>

// The first platform's named system colours, as one fixed table.
namespace SystemColors {
QColor red();
QColor orange();
QColor yellow();
QColor green();
QColor mint();
QColor teal();
QColor cyan();
QColor blue();
QColor indigo();
QColor purple();
QColor pink();
QColor brown();
QColor gray();
// By name ("red", "orange" ...); unknown names give gray.
QColor named(const QString& name);
}
