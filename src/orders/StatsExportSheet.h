#pragma once

#include "ui/SheetDialog.h"

#include <QDate>

#include <functional>

class OrderManager;
class DateField;

// "导出档期+收入明细": picks a date range and saves the store's CSV text of
// it. The text is taken when "导出CSV" is pressed; the sheet closes after
// every attempt, with a warning when the file could not be written.
class StatsExportSheet : public SheetDialog
{
    Q_OBJECT
public:
    // Returns the chosen path, or empty when the user cancelled.
    using FileChooser = std::function<QString(QWidget* parent, const QString& proposedName)>;
    using Warner = std::function<void(QWidget* parent, const QString& message)>;
    static void setFileChooser(FileChooser chooser);
    static void setWarner(Warner warner);
    // Where the save dialog opens: the desktop folder when it exists, else home.
    static QString startFolder();

    StatsExportSheet(OrderManager& store, const QDate& start, const QDate& end, QWidget* parent = nullptr);

    QDate startDate() const;
    QDate endDate() const;
    void setRange(const QDate& start, const QDate& end);

    void exportCSVToFile();

private:
    OrderManager& m_store;
    DateField* m_start = nullptr;
    DateField* m_end = nullptr;
};
