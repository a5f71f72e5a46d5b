#pragma once

#include "app/SearchItem.h"

#include <QWidget>

#include <optional>

class QScrollArea;
class QVBoxLayout;
class QLabel;

// The result list under the search field: one row per result, or the empty
// state. Its height follows the rows, from 140 up to 0.6 of the screen.
class SearchResultsView : public QWidget
{
    Q_OBJECT
public:
    explicit SearchResultsView(QWidget* parent = nullptr);

    static constexpr int kWidth = 320;
    static constexpr int kMinHeight = 140;

    void setResults(const QList<SearchItem>& items, const QString& query, std::optional<int> selected);
    void setSelectedIndex(std::optional<int> selected);
    int rowCount() const { return m_rows.size(); }
    // The height for `contentHeight` with `available` the screen's usable height.
    static int heightFor(int contentHeight, int available);

Q_SIGNALS:
    void itemClicked(int index);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void fitHeight();
    void colourEmptyLine();

    QScrollArea* m_scroll = nullptr;
    QWidget* m_content = nullptr;
    QVBoxLayout* m_layout = nullptr;
    QLabel* m_empty = nullptr;
    QList<QWidget*> m_rows;
    QList<SearchItem> m_items;
    QString m_query;
};

// The position of the first case-insensitive match of the trimmed query in
// `title`, in the title's own characters; none when blank or absent.
struct HighlightRange
{
    qsizetype start = 0;
    qsizetype length = 0;
};
std::optional<HighlightRange> highlightRange(const QString& title, const QString& query);
