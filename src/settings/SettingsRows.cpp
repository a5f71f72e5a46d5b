#include "SettingsRows.h"

#include "platform/UserDefaults.h"
#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/ThemedLabel.h"
#include "ui/ToggleSwitch.h"

#include <QHBoxLayout>
#include <QMessageBox>
#include <QVBoxLayout>

namespace SettingsRows {
ThemedLabel* note(const QString& text, qreal size, qreal opacity, QWidget* parent)
{
    auto* label = new ThemedLabel(text, Fonts::system(size),
                                  [opacity] { return AppTheme::withOpacity(AppTheme::textPrimary(), opacity); }, parent);
    label->setWordWrap(true);
    return label;
}

QWidget* switchRow(const QString& title, const QString& hint, std::function<bool()> read,
                   std::function<void(bool)> write, QWidget* parent, const QString& objectName, bool compact)
{
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    if (compact)
        texts->addWidget(note(title, 12, 0.8, row));
    else
        texts->addWidget(new ThemedLabel(title, Fonts::system(14), &AppTheme::textGold, row));
    if (!hint.isEmpty())
        texts->addWidget(note(hint, 11, 0.5, row));
    layout->addLayout(texts, 1);
    auto* toggle = new ToggleSwitch(row);
    toggle->setObjectName(objectName);
    toggle->setAccessibleName(title);
    toggle->setChecked(read());
    QObject::connect(toggle, &QAbstractButton::clicked, row, [write](bool on) { write(on); });
    layout->addWidget(toggle, 0, Qt::AlignVCenter);
    return row;
}

QWidget* preferenceSwitch(const PreferenceKey<bool>& key, const QString& title, const QString& hint,
                          QWidget* parent)
{
    QWidget* row = switchRow(
        title, hint, [key] { return UserDefaults::standard().value(key); }, [](bool) {}, parent,
        key + QStringLiteral("Switch"));
    auto* toggle = row->findChild<ToggleSwitch*>();
    QObject::connect(toggle, &QAbstractButton::clicked, toggle, [toggle, key](bool on) {
        UserDefaults& defaults = UserDefaults::standard();
        if (defaults.set(key, on))
            return;
        // The switch shows what the file holds, and the user learns why.
        toggle->setChecked(defaults.value(key));
        auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("设置未保存"),
                                    QStringLiteral("设置未保存：") + defaults.lastWriteError(), QMessageBox::Ok,
                                    toggle->window());
        box->setTextFormat(Qt::PlainText);
        box->setWindowModality(Qt::WindowModal);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    });
    QObject::connect(&UserDefaults::standard(), &UserDefaults::changed, toggle, [toggle, key](const QString& k) {
        if (k == QLatin1String(key.name))
            toggle->setChecked(UserDefaults::standard().value(key));
    });
    return row;
}
}
