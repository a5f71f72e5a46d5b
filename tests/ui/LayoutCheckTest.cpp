#include "LayoutCheck.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
// A one-line box typing in `text` with `placeholder` on `background`.
QLineEdit* textBox(QWidget* parent, const char* text, const char* placeholder, const char* background)
{
    auto* edit = new QLineEdit(parent);
    edit->setPlaceholderText(QStringLiteral("请输入备注"));
    QPalette p = edit->palette();
    p.setColor(QPalette::Text, QColor(text));
    p.setColor(QPalette::PlaceholderText, QColor(placeholder));
    edit->setPalette(p);
    edit->setStyleSheet(QStringLiteral("QLineEdit { background: %1; border: none; }").arg(background));
    edit->setGeometry(0, 0, 200, 30);
    return edit;
}

std::function<void(QWidget*)> box(const char* text, const char* placeholder, const char* background)
{
    return [=](QWidget* w) { textBox(w, text, placeholder, background); };
}

struct Case
{
    const char* name;
    std::function<void(QWidget*)> build;
    const char* fault; // expected in the only fault line; empty: clean
};
}

TEST(LayoutCheckTest, CatchesClippedFaintAndOverlappingTextAndWidgetsOutsideTheirParent)
{
    const QString longText = QStringLiteral("可以继续选择下一张存储卡进行导片");
    const Case cases[] = {
        {"laid out", [&](QWidget* w) {
             auto* column = new QVBoxLayout(w);
             column->addWidget(new QLabel(longText, w));
             column->addWidget(new QPushButton(QStringLiteral("开始导片"), w));
         }, ""},
        {"clipped label", [&](QWidget* w) { (new QLabel(longText, w))->setGeometry(0, 0, 40, 30); }, "is cut off"},
        {"clipped button", [&](QWidget* w) { (new QPushButton(longText, w))->setGeometry(0, 0, 40, 30); }, "is cut off"},
        {"overlapping buttons", [](QWidget* w) {
             (new QPushButton(QStringLiteral("甲"), w))->setGeometry(0, 0, 60, 30);
             (new QPushButton(QStringLiteral("乙"), w))->setGeometry(50, 10, 60, 30);
         }, "overlap"},
        {"an overlay on purpose", [](QWidget* w) {
             (new QPushButton(QStringLiteral("甲"), w))->setGeometry(0, 0, 60, 30);
             auto* dot = new QWidget(w);
             dot->setGeometry(50, 0, 8, 8);
             dot->setProperty("layoutOverlay", true);
         }, ""},
        {"outside its parent", [](QWidget* w) { (new QPushButton(QStringLiteral("甲"), w))->setGeometry(280, 0, 60, 30); },
         "reaches outside"},
        {"faint text", [](QWidget* w) {
             auto* label = new QLabel(QStringLiteral("备注信息"), w);
             label->setStyleSheet(QStringLiteral("color: #aaaaaa; background: white;"));
             label->setGeometry(0, 0, 120, 30);
         }, "hard to read"},
        {"plain dark text", [](QWidget* w) {
             auto* label = new QLabel(QStringLiteral("备注信息"), w);
             label->setStyleSheet(QStringLiteral("color: #595959; background: white;"));
             label->setGeometry(0, 0, 120, 30);
         }, ""},
        {"large text needs 3:1", [](QWidget* w) {
             auto* label = new QLabel(QStringLiteral("标题"), w);
             QFont f = label->font();
             f.setPixelSize(26);
             label->setFont(f);
             label->setStyleSheet(QStringLiteral("color: #888888; background: white;"));
             label->setGeometry(0, 0, 120, 40);
         }, ""},
        {"black typed text on a dark box", box("#121212", "#9A9A9A", "#242424"), "typed text"},
        {"a faint placeholder on a dark box", box("#FFFFFF", "#4A4A4A", "#242424"), "placeholder"},
        {"a readable dark box", box("#FFFFFF", "#9A9A9A", "#242424"), ""},
        {"pale typed text on a light box", box("#C8C8C8", "#6E6E6E", "#FFFFFF"), "typed text"},
        {"a faint placeholder on a light box", box("#2B2B2B", "#BDBDBD", "#FFFFFF"), "placeholder"},
        {"a readable light box", box("#2B2B2B", "#737373", "#FFFFFF"), ""},
        {"faint typed text in a multi-line box", [](QWidget* w) {
             auto* edit = new QPlainTextEdit(w);
             edit->setStyleSheet(QStringLiteral("QPlainTextEdit { color: #303030; background: #1A1A1A; border: none; }"));
             edit->setGeometry(0, 0, 200, 80);
         }, "typed text"},
        {"a read-only box is not typed into", [](QWidget* w) {
             textBox(w, "#121212", "#121212", "#242424")->setReadOnly(true);
         }, ""},
        {"text past a scroll area that does not scroll sideways", [&](QWidget* w) {
             auto* area = new QScrollArea(w);
             area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
             area->setGeometry(0, 0, 120, 100);
             auto* content = new QWidget;
             content->setMinimumWidth(400);
             (new QLabel(longText, content))->setGeometry(150, 0, 240, 30);
             area->setWidget(content);
         }, "is cut off by"},
        {"a text box halving its second line", [](QWidget* w) {
             auto* edit = new QPlainTextEdit(QStringLiteral("第一行\n第二行\n第三行"), w);
             edit->setGeometry(0, 0, 200, edit->fontMetrics().lineSpacing() * 3 / 2 + 12);
         }, "shows only part of its line"},
    };
    for (const Case& c : cases) {
        QWidget window;
        window.resize(300, 200);
        c.build(&window);
        window.show();
        const QStringList found = LayoutCheck::faults(&window);
        if (QByteArray(c.fault).isEmpty()) {
            EXPECT_TRUE(found.isEmpty()) << c.name << ": " << found.join('\n').toStdString();
        } else {
            ASSERT_EQ(found.size(), 1) << c.name << ": " << found.join('\n').toStdString();
            EXPECT_TRUE(found.first().contains(QLatin1String(c.fault))) << c.name << ": " << found.first().toStdString();
        }
    }
}
