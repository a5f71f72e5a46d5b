#pragma once

#include "orderbook/Package.h"
#include "ui/RoundedPanel.h"

#include <QList>
#include <QUuid>

class PlateButton;
class QLineEdit;
class QScrollArea;
class QVBoxLayout;
class ScheduleSettingsState;

// The package card of the settings sheet: rows to reorder, rename, reprice
// and delete packages, the new-package row and the add and delete-mode bar.
class PackageListEditor : public RoundedPanel
{
    Q_OBJECT
public:
    explicit PackageListEditor(ScheduleSettingsState& state, QWidget* parent = nullptr);

    QScrollArea* scrollArea() const { return m_scroll; }
    QWidget* newPackageRow() const { return m_newRow; }

private:
    struct Row {
        QUuid id;
        QWidget* widget = nullptr;
        QLineEdit* price = nullptr;
        QLineEdit* deposit = nullptr;
    };
    void refresh();
    // `renameStarted`: a name has just been clicked; its field takes the cursor.
    void rebuildRows(bool renameStarted);
    Row makeRow(const Package& package, int index);
    QWidget* makeNewPackageRow();
    void refreshAmounts();
    void refreshBottomBar();

    ScheduleSettingsState& m_state;
    QScrollArea* m_scroll;
    QVBoxLayout* m_rowsLayout;
    QWidget* m_newRow;
    QLineEdit* m_newName;
    QLineEdit* m_newPrice;
    QLineEdit* m_newDeposit;
    PlateButton* m_addToggle;
    PlateButton* m_deleteToggle;
    QList<Row> m_rows;
    // What the rows were built for: a change here rebuilds them.
    QList<Package> m_shownPackages;
    std::optional<QUuid> m_shownEditing;
    bool m_shownDeleteMode = false;
};
