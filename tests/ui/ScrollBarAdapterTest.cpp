#include "ui/LightScrollBar.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QScrollArea>
#include <QStyle>
#include <QVBoxLayout>

namespace {
void nextTurn() { QCoreApplication::processEvents(); }
}

TEST(ScrollBarAdapterTest, StylesTheEnclosingScrollAreaOnTheNextTurn)
{
    QScrollArea area;
    auto* content = new QWidget;
    auto* layout = new QVBoxLayout(content);
    auto* adapter = new LightScrollBar;
    layout->addWidget(adapter);
    area.setWidget(content);
    EXPECT_EQ(adapter->styledScrollArea(), nullptr);
    nextTurn();
    EXPECT_EQ(adapter->styledScrollArea(), &area);
    EXPECT_EQ(area.frameShape(), QFrame::NoFrame);
    EXPECT_FALSE(area.viewport()->autoFillBackground());
    EXPECT_EQ(area.viewport()->palette().color(QPalette::Window).alpha(), 0);
    EXPECT_TRUE(area.style()->styleHint(QStyle::SH_ScrollBar_Transient, nullptr, &area));
    EXPECT_EQ(adapter->size(), QSize(0, 0));
}

TEST(ScrollBarAdapterTest, OnlyTheInnermostOfNestedScrollAreasChanges)
{
    QScrollArea outer;
    auto* inner = new QScrollArea;
    outer.setWidget(inner);
    auto* content = new QWidget;
    new LightScrollBar(content);
    inner->setWidget(content);
    new LightScrollBar(content); // a second adapter changes nothing more
    nextTurn();
    EXPECT_EQ(inner->frameShape(), QFrame::NoFrame);
    EXPECT_NE(outer.frameShape(), QFrame::NoFrame);
    EXPECT_NE(outer.style(), LightScrollBar::overlayStyle());
}

TEST(ScrollBarAdapterTest, OutsideAnyScrollAreaNothingHappens)
{
    QWidget page;
    auto* adapter = new LightScrollBar(&page);
    nextTurn();
    EXPECT_EQ(adapter->styledScrollArea(), nullptr);
}
