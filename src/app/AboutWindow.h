#pragma once

#include <QDialog>

class QLabel;

// The application's own About window, 320 x 240: icon, name, tagline and
// version. Built once by the delegate and kept; closing only hides it.
class AboutWindow : public QDialog
{
    Q_OBJECT
public:
    explicit AboutWindow(const QString& versionText, const QIcon& icon, QWidget* parent = nullptr);

    QLabel* iconLabel() const { return m_icon; }
    QLabel* nameLabel() const { return m_name; }
    QLabel* taglineLabel() const { return m_tagline; }
    QLabel* versionLabel() const { return m_version; }

    // A frame given with the origin at the bottom left (y up), moved down to
    // centre the group, in this window's top-left coordinates.
    static QRect flipped(int x, int y, int width, int height);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* m_icon = nullptr;
    QLabel* m_name = nullptr;
    QLabel* m_tagline = nullptr;
    QLabel* m_version = nullptr;
};
