#pragma once

#include <QWidget>

class OrderFormModel;
class PlateButton;
class QGridLayout;

// The eight quick-location chips of the order form: a tap fills the
// location; in edit mode each chip is a field, saved when editing ends.
class QuickLocationsView : public QWidget
{
    Q_OBJECT
public:
    QuickLocationsView(OrderFormModel& model, QWidget* parent = nullptr);
    void refresh();

private:
    void rebuildChips();

    OrderFormModel& m_model;
    PlateButton* m_editButton = nullptr;
    QGridLayout* m_grid = nullptr;
    QList<QWidget*> m_chips;
    bool m_builtEditing = false;
};
