#include "QuickFilterKeywordBox.h"

#include "ui/AppTheme.h"
#include "ui/BlinkingCursor.h"
#include "ui/Fonts.h"
#include "ui/ThemedLabel.h"
#include "ui/ThemeObserver.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPainter>
#include <QPlainTextEdit>

namespace {

QString rgba(const QColor& c)
{
    return QStringLiteral("rgba(%1,%2,%3,%4)").arg(c.red()).arg(c.green()).arg(c.blue()).arg(c.alphaF());
}

}

QuickFilterKeywordBox::QuickFilterKeywordBox(QWidget* parent)
    : QWidget(parent)
{
    setFixedHeight(180);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    m_editor = new QPlainTextEdit(this);
    m_editor->setObjectName(QStringLiteral("keywordEditor"));
    m_editor->setFont(Fonts::system(13));
    m_editor->setFrameShape(QFrame::NoFrame);
    m_editor->viewport()->setAutoFillBackground(false);
    m_editor->installEventFilter(this);
    layout->addWidget(m_editor);

    m_placeholder = new QWidget(this);
    m_placeholder->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* row = new QHBoxLayout(m_placeholder);
    row->setSpacing(3);
    row->addStretch();
    row->addWidget(new ThemedLabel(QStringLiteral("复制文件名到这里"), Fonts::system(15),
                                   [] { return AppTheme::withOpacity(AppTheme::accentOrange(), 0.8); },
                                   m_placeholder));
    row->addWidget(new BlinkingCursor(m_placeholder));
    row->addStretch();

    connect(m_editor, &QPlainTextEdit::textChanged, this, &QuickFilterKeywordBox::refresh);
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, &QuickFilterKeywordBox::refresh);
    refresh();
}

QString QuickFilterKeywordBox::keywordsText() const
{
    return m_editor->toPlainText();
}

bool QuickFilterKeywordBox::isPlaceholderShown() const
{
    return !m_placeholder->isHidden();
}

void QuickFilterKeywordBox::refresh()
{
    m_editor->setStyleSheet(QStringLiteral("QPlainTextEdit { background: transparent; color: %1; }")
                                .arg(rgba(AppTheme::textPrimary())));
    m_placeholder->setVisible(m_editor->toPlainText().isEmpty() && !m_focused);
    update();
}

bool QuickFilterKeywordBox::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_editor && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)) {
        m_focused = event->type() == QEvent::FocusIn;
        refresh();
    }
    return QWidget::eventFilter(watched, event);
}

void QuickFilterKeywordBox::mousePressEvent(QMouseEvent*)
{
    m_editor->setFocus(Qt::MouseFocusReason);
}

void QuickFilterKeywordBox::resizeEvent(QResizeEvent*)
{
    m_placeholder->setGeometry(rect());
}

void QuickFilterKeywordBox::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal w = m_focused ? 2.0 : 1.5;
    QPen pen(m_focused ? AppTheme::gold() : AppTheme::dropZoneBorder(), w);
    pen.setDashPattern({6 / w, 4 / w});
    p.setPen(pen);
    p.drawRoundedRect(QRectF(rect()).adjusted(w / 2, w / 2, -w / 2, -w / 2), 12 - w / 2, 12 - w / 2);
}
