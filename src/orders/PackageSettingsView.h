#pragma once

#include "orderbook/Package.h"
#include "ui/SheetDialog.h"

#include <QDialog>
#include <QPointer>

#include <array>
#include <optional>

class PackageManager;
class PackageRowList;
class QLineEdit;

// "套系设定": the package list with drag to reorder, the price and deposit
// editor, the add sheet and delete. Every change goes straight to the
// shared package store.
class PackageSettingsView : public QDialog
{
    Q_OBJECT
public:
    explicit PackageSettingsView(QWidget* parent = nullptr);
    PackageSettingsView(PackageManager& store, QWidget* parent = nullptr);

    PackageRowList* rowList() const { return m_rows; }
    SheetDialog* editSheet() const { return m_editSheet; }
    SheetDialog* addSheet() const { return m_addSheet; }

    void openEditor(const Package& package);
    void openAddSheet();

    // A typed amount: the whole text must be a plain number, else 0.
    static double readAmount(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void saveEdit();
    // Why the typed texts cannot be stored, or empty.
    QString editProblem() const;
    static QString amountsProblem(const std::array<QString, 2>& priceAndDeposit);
    void confirmAdd();
    void clearAddTexts();

    PackageManager& m_store;
    PackageRowList* m_rows = nullptr;
    QPointer<SheetDialog> m_editSheet;
    QPointer<SheetDialog> m_addSheet;
    std::optional<Package> m_editing;
    QString m_editPrice, m_editDeposit;         // the prefilled texts
    QLineEdit* m_editPriceField = nullptr;
    QLineEdit* m_editDepositField = nullptr;
    QString m_newName, m_newPrice, m_newDeposit; // kept between openings
};
