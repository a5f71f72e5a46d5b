#include "LayoutCheck.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
struct Case
{
    const char* name;
    std::function<void(QWidget*)> build;
    const char* fault; // expected in the only fault line; empty: clean
};
}

TEST(LayoutCheckTest, CatchesClippedTextOverlapsAndWidgetsOutsideTheirParent)
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
