#pragma once

#include "app/SearchItem.h"
#include "ui/MenuItem.h"
#include "ui/ThemedPanel.h"

#include <QPointer>

#include <functional>
#include <optional>

class GlobalSearchManager;
class QLineEdit;
class QLabel;
class SearchResultsView;
class PlateButton;
class QDialog;

// The strip above the sidebar and the screens: brand, the global search field
// with its result list, and the tutorial and settings buttons with the sheets
// they open.
class TopBarView : public ThemedPanel
{
    Q_OBJECT
public:
    // The sheets the bar presents; each is made fresh for one showing.
    enum class Sheet { tutorial, settings, packageSettings, changelog };
    using SheetFactory = std::function<QDialog*(Sheet sheet, QWidget* parent)>;

    explicit TopBarView(GlobalSearchManager* manager, QWidget* parent = nullptr);
    ~TopBarView() override;

    static constexpr int kHeight = 68;
    static constexpr int kRowsPerGroup = 5;
    static constexpr int kPackageSheetDelayMs = 300;

    static QList<SearchItem> flatten(const QList<SearchGroup>& groups);

    bool showDropdown() const;
    const QList<SearchItem>& flatSearchResults() const { return m_flat; }
    std::optional<int> selectedSearchIndex() const { return m_selected; }
    void handleSearchItemClick(const SearchItem& item);

    QLineEdit* searchField() const { return m_field; }
    SearchResultsView* resultsView() const;
    QPointer<QDialog> openSheet() const { return m_sheet; }
    void setSheetFactory(SheetFactory factory) { m_sheetFactory = std::move(factory); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    QWidget* makeBrand();
    QWidget* makeSearchBlock();
    void onSearchTextChanged(const QString& text);
    void refreshResults();
    void placeResults();
    void markIndexDirty();
    const QList<SearchItem>& searchIndex();
    void updateMicrophone();
    void present(Sheet sheet);
    bool handleKey(int key);

    GlobalSearchManager* m_manager = nullptr;
    QLineEdit* m_field = nullptr;
    QWidget* m_searchBlock = nullptr;
    PlateButton* m_clear = nullptr;
    PlateButton* m_mic = nullptr;
    QLabel* m_placeholder = nullptr;
    QPointer<SearchResultsView> m_results;
    QList<SearchItem> m_index;
    bool m_indexDirty = true;
    bool m_watchingStores = false;
    QList<SearchItem> m_flat;
    std::optional<int> m_selected;
    QPointer<QDialog> m_sheet;
    SheetFactory m_sheetFactory;
};
