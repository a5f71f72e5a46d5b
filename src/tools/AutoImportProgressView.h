#pragma once

#include <QList>
#include <QPointer>
#include <QUrl>
#include <QWidget>

class AutoImportController;
class AutoImportElidedLabel;
#include "ui/FireworkView.h"
class QHBoxLayout;
class QLabel;
class QProgressBar;
class QPushButton;
class ThemedLabel;

// The import's progress container: the running form (percentage, bar,
// current file, cancel) and the completed and cancelled forms (counts,
// firework, hint for the next card). Folders dropped on it start the next run.
class AutoImportProgressView : public QWidget
{
    Q_OBJECT
public:
    enum class Form { running, completed, cancelled };

    explicit AutoImportProgressView(AutoImportController* controller, QWidget* parent = nullptr);

    Form form() const;
    static QString completedTitle() { return QStringLiteral("导片完成"); }

    // For tests: what the panel shows right now.
    QString titleText() const;
    QString percentText() const;
    QString countText() const;
    QString currentFileText() const;
    QStringList resultLines() const; // the visible result lines, top to bottom
    int barValue() const;            // thousandths
    QPushButton* cancelButton() const { return m_cancel; }
    FireworkView* firework() const { return m_firework; }
    bool isTargeted() const { return m_targeted; }

Q_SIGNALS:
    void urlsDropped(const QList<QUrl>& urls);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void refresh();
    void applyThemeStyles();

    AutoImportController* m_controller;
    bool m_targeted = false;

    ThemedLabel* m_title;
    ThemedLabel* m_subtitle;
    ThemedLabel* m_percent;
    QWidget* m_fireworkSlot;
    QHBoxLayout* m_fireworkLayout;
    QPointer<FireworkView> m_firework;
    QProgressBar* m_bar;
    QWidget* m_running;
    ThemedLabel* m_count;
    AutoImportElidedLabel* m_file;
    QWidget* m_result;
    QWidget* m_warning;
    ThemedLabel* m_photos;
    ThemedLabel* m_videos;
    ThemedLabel* m_skipped;
    ThemedLabel* m_failed;
    QPushButton* m_cancel;
    QWidget* m_footer;
};
