#pragma once

#include <QList>
#include <QUrl>
#include <QWidget>

class FolderDropZone;
class QStackedLayout;
class SplitRawJpgController;
class ToolNotice;
class ToolProgressPanel;

// The RAW/JPG split screen: a drop area for a folder until a pass starts,
// then the progress panel, which stays with the result and takes the next
// folder. The pass itself lives in the controller.
class SplitRawJpgView : public QWidget
{
    Q_OBJECT
public:
    explicit SplitRawJpgView(QWidget* parent = nullptr);
    SplitRawJpgView(SplitRawJpgController* controller, QWidget* parent);

    // The first dropped item starts a pass when it is a folder.
    void handleDrop(const QList<QUrl>& urls);

    bool isShowingProgress() const;
    FolderDropZone* dropZone() const { return m_dropZone; }
    ToolNotice* notice() const { return m_notice; }
    ToolProgressPanel* progressView() const { return m_progress; }

private:
    void followState();

    SplitRawJpgController* m_controller;
    QStackedLayout* m_stack;
    QWidget* m_idle;
    FolderDropZone* m_dropZone;
    ToolNotice* m_notice;
    ToolProgressPanel* m_progress;
};
