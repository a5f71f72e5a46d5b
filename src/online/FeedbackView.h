#pragma once

#include <QWidget>

class FeedbackChatModel;
class FeedbackMessageRow;
class PlateButton;
class QLabel;
class QPlainTextEdit;
class QScrollArea;
class QTimer;
class QVBoxLayout;
class ThemedLabel;

// The feedback chat in the version bar's 520 x 600 sheet: the conversation,
// the input with its send button and the progress of a send. It fetches
// replies every 5 seconds while it lives; "返回" marks the author's replies
// as read and closes the sheet at once, ending everything the chat started.
class FeedbackView : public QWidget
{
    Q_OBJECT
public:
    explicit FeedbackView(QWidget* parent = nullptr);

    FeedbackChatModel* model() const { return m_model; }
    // "发送完成！" from 1.0 on, else "正在上传... " and the whole percent.
    static QString progressText(double progress);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* makeInput();
    FeedbackMessageRow* makeRow(int index);
    void rebuildRows();
    void refreshInput();
    void scrollToEnd();
    int rowWidth() const;

    FeedbackChatModel* m_model;
    QScrollArea* m_list = nullptr;
    QVBoxLayout* m_rows = nullptr;
    QWidget* m_progressBlock = nullptr;
    QWidget* m_progressBar = nullptr;
    QLabel* m_progressLabel = nullptr;
    ThemedLabel* m_inactive = nullptr;
    QPlainTextEdit* m_input = nullptr;
    QLabel* m_placeholder = nullptr;
    PlateButton* m_send = nullptr;
    QTimer* m_unpin = nullptr;
};
