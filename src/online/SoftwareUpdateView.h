#pragma once

#include "ui/ThemedPanel.h"

#include <functional>

class ChangelogCardContent;
class PlateButton;
class QScrollArea;
class QVBoxLayout;
class SectionCard;
class UpdateChecker;

// The software update screen: the running version with a check button, the
// state of the last check, the published changelog and the automatic-check
// preference, on one scrolling page.
class SoftwareUpdateView : public ThemedPanel
{
    Q_OBJECT
public:
    SoftwareUpdateView(UpdateChecker* updateChecker, std::function<void()> onBack, QWidget* parent = nullptr);

    enum class Status { checking, noResult, update, failed, latest, inactive };
    Status status() const;
    SectionCard* statusCard() const { return m_statusCard; }
    QScrollArea* page() const { return m_page; }

private:
    QWidget* makeHeader();
    QWidget* makeVersionRow();
    void refreshStatus();
    void refreshCheckButton();
    void scrollToChangelog();

    UpdateChecker* m_checker;
    std::function<void()> m_onBack;
    QScrollArea* m_page = nullptr;
    SectionCard* m_statusCard = nullptr;
    QWidget* m_statusContent = nullptr;
    SectionCard* m_changelogCard = nullptr;
    PlateButton* m_checkButton = nullptr;
};
