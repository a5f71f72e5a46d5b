#pragma once

#include "orders/OrderFormModel.h"

#include <QDialog>

#include <array>

class DateField;
class OrderPaymentsSection;
class PlateButton;
class QGraphicsOpacityEffect;
class QLineEdit;
class QPlainTextEdit;
class QTimeEdit;
class QuickLocationsView;
class StatusBadge;
class ThemedLabel;
class ToggleSwitch;

// The order form: a 520 × 680 window-modal sheet for a new or an edited
// order. The model holds every rule; this draws it and forwards what the
// user does.
class OrderFormView : public QDialog
{
    Q_OBJECT
public:
    // On the shared stores and preferences.
    OrderFormView(const std::optional<Order>& order, const QDateTime& date, OrderFormModel::SaveCallback onSave,
                  QWidget* parent = nullptr);
    OrderFormView(OrderManager& orders, PackageManager& packages, UserDefaults& defaults,
                  const std::optional<Order>& order, const QDateTime& date, OrderFormModel::SaveCallback onSave,
                  QWidget* parent = nullptr);
    ~OrderFormView() override;

    OrderFormModel& model() { return *m_model; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QWidget* buildHeader();
    QWidget* buildCustomerSection();
    QWidget* buildDateAndPlaceCard();
    QWidget* buildSyncCard();
    QWidget* buildButtons();
    void showPackageMenu();
    void confirmDelete();
    // The reason Save was refused under the buttons; empty hides it.
    void showSaveProblem(const QString& reason);
    void refresh();

    OrderFormModel* m_model = nullptr;
    StatusBadge* m_badge = nullptr;
    QLineEdit* m_name = nullptr;
    QLineEdit* m_phone = nullptr;
    QLineEdit* m_total = nullptr;
    QLineEdit* m_deposit = nullptr;
    PlateButton* m_package = nullptr;
    std::array<PlateButton*, 3> m_slots{};
    DateField* m_day = nullptr;
    QTimeEdit* m_time = nullptr;
    ToggleSwitch* m_tbd = nullptr;
    QLineEdit* m_location = nullptr;
    QuickLocationsView* m_quick = nullptr;
    ToggleSwitch* m_sync = nullptr;
    QGraphicsOpacityEffect* m_syncDim = nullptr;
    OrderPaymentsSection* m_payments = nullptr;
    QPlainTextEdit* m_note = nullptr;
    ThemedLabel* m_problem = nullptr;
};
