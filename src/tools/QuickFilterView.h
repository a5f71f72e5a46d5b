#pragma once

#include "QuickFilterEngine.h"
#include "QuickFilterSamples.h"

#include <QList>
#include <QPointer>
#include <QUrl>
#include <QWidget>

class ElidedLabel;
class FolderDropZone;
class PlateButton;
class QStackedLayout;
class QuickFilterController;
class QuickFilterKeywordBox;
class QuickFilterProgressView;
class ToolNotice;
class ThemedLabel;

// The quick filter screen: a three-step form (the client's names, typed or
// from dropped samples; the source folder; copy or move) and its start
// button, replaced by the progress panel while a run is shown. The form's
// inputs live as long as the screen; the run lives in the controller.
class QuickFilterView : public QWidget
{
    Q_OBJECT
public:
    explicit QuickFilterView(QWidget* parent = nullptr);
    QuickFilterView(QuickFilterController* controller, QWidget* parent);

    QString keywordsText() const;
    const QuickFilterSamples& samples() const { return m_samples; }
    QString sourceFolder() const { return m_sourceFolder; }
    QuickFilterEngine::Mode exportMode() const { return m_mode; }
    void setExportMode(QuickFilterEngine::Mode mode);

    bool canStart() const;
    // What the form still lacks, empty when it is ready.
    QString startRefusal() const;
    // The start button's action: a run when the form is ready, else the
    // log line and, under the button, what is missing.
    void start();
    void handleSampleDrop(const QList<QUrl>& urls);
    void handleFolderDrop(const QList<QUrl>& urls);

    bool isShowingProgress() const;
    QuickFilterKeywordBox* keywordBox() const { return m_keywordBox; }
    QuickFilterProgressView* progressView() const { return m_progress; }

Q_SIGNALS:
    // The samples of a drop have been read and merged.
    void samplesChanged();

private:
    QWidget* buildForm();
    QWidget* buildNamesStep(QWidget* parent);
    QWidget* buildFolderStep(QWidget* parent);
    QWidget* buildModeStep(QWidget* parent);
    void refreshSamples();
    void refreshFolder();
    void followState();

    QuickFilterController* m_controller;
    QuickFilterSamples m_samples;
    QString m_sourceFolder;
    QuickFilterEngine::Mode m_mode = QuickFilterEngine::Mode::copy;

    QStackedLayout* m_stack;
    QWidget* m_form;
    QuickFilterProgressView* m_progress;
    QuickFilterKeywordBox* m_keywordBox;
    FolderDropZone* m_sampleZone;
    QWidget* m_sampleLines;
    ThemedLabel* m_sampleCount;
    ElidedLabel* m_sampleNames;
    FolderDropZone* m_folderZone;
    QWidget* m_folderEmpty;
    QWidget* m_folderChosen;
    ThemedLabel* m_folderName;
    ElidedLabel* m_folderPath;
    PlateButton* m_copyButton;
    PlateButton* m_moveButton;
    QWidget* m_moveWarning;
    ToolNotice* m_folderNotice;
    ToolNotice* m_startNotice;
};
