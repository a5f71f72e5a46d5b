#pragma once

#include "ui/MenuItem.h"

#include <QWidget>

class MenuSelection;
class QDialog;
class ThemedLabel;
class UpdateNotice;
class VersionLinkButton;

// The foot of the sidebar: "检查更新" (opens the software update screen,
// with a dot while an unseen update is known) and "发送反馈" (opens the
// feedback sheet, with a dot while a reply is unread).
class VersionBarView : public QWidget
{
    Q_OBJECT
public:
    VersionBarView(UpdateNotice* updateNotice, MenuSelection* selection, const MenuItem& softwareUpdateItem,
                   QWidget* parent = nullptr);

    VersionLinkButton* updateButton() const { return m_updateButton; }
    VersionLinkButton* feedbackButton() const { return m_feedbackButton; }
    ThemedLabel* newVersionNote() const { return m_newVersionNote; }
    bool isFeedbackShown() const { return m_feedbackSheet != nullptr; }
    QDialog* feedbackSheet() const { return m_feedbackSheet; }

private:
    void refresh();
    void openSoftwareUpdate();
    void openFeedback();
    QWidget* makeFeedbackView(QWidget* parent);

    UpdateNotice* m_notice;
    MenuSelection* m_selection;
    MenuItem m_softwareUpdateItem;
    VersionLinkButton* m_updateButton = nullptr;
    VersionLinkButton* m_feedbackButton = nullptr;
    ThemedLabel* m_newVersionNote = nullptr;
    QDialog* m_feedbackSheet = nullptr;
};
