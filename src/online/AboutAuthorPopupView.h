#pragma once

#include <QDialog>
#include <QStringList>

class QLabel;
class QVBoxLayout;

// The author's introduction: built-in paragraphs and contact id, replaced by
// "about.txt" when it holds text, a button that copies the id with a short
// confirmation, and a close button.
class AboutAuthorPopupView : public QDialog
{
    Q_OBJECT
public:
    explicit AboutAuthorPopupView(QWidget* parent = nullptr);

    static constexpr int kToastMs = 2000;
    static QStringList builtInParagraphs();
    static QString builtInContactId();

    QStringList paragraphs() const { return m_paragraphs; }
    QString contactId() const { return m_contactId; }
    bool isToastShown() const;
    void copyContactId();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void showParagraphs();

    QStringList m_paragraphs;
    QString m_contactId;
    QVBoxLayout* m_text;
    QLabel* m_toast;
};
