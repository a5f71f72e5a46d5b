#include "orderbook/CalendarEventParser.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QRandomGenerator>

namespace {

struct ParseCase {
    const char* what;
    QString title;
    std::optional<QString> notes;
    std::optional<QString> location;
    ParsedOrderFields expected;
};

ParsedOrderFields fields(const QString& name, const QString& phone = {}, const QString& package = {},
                         double deposit = 0, const QString& location = {},
                         OrderStatus status = OrderStatus::pendingDeposit)
{
    return {name, phone, package, deposit, location, status, !name.isEmpty()};
}

const QString kDigits400 = QString(400, u'9');

}

TEST(CalendarEventParserTest, ReadsOwnNotesAndFreeText)
{
    const QList<ParseCase> cases = {
        {"own notes: title and location unread", "张三 - 儿童写真", "张三-13800000000-定金300\n备注", "中山公园",
         fields("张三", "13800000000", {}, 300)},
        {"own notes without phone", "", "李四-无电话-定金500", {}, fields("李四", {}, {}, 500)},
        {"own notes without name", "", "-定金500", {}, fields({}, {}, {}, 500)},
        {"own notes, deposit not a number", "", "王五-13800000000-定金abc", {}, fields("王五", "13800000000")},
        {"own notes, nan deposit", "", "王五-无电话-定金nan", {}, fields("王五")},
        {"own notes, inf deposit", "", "王五-无电话-定金inf", {}, fields("王五")},
        {"own notes, overflowing deposit", "", "王五-无电话-定金" + kDigits400, {}, fields("王五")},
        {"own format on line two is free text", "", "你好\n赵六-13800000000-定金300", {},
         fields("赵六-", "13800000000", {}, 300)},
        {"labelled lines", "", "姓名：李四\n电话：13912345678\n套餐：儿童写真\n地址：中山公园", {},
         fields("李四", "13912345678", "儿童写真", 0, "中山公园")},
        {"labelled lines with CRLF", "", "姓名：李四\r\n王五\r\n电话：13912345678\r\n地址：中山公园\r\n备注", {},
         fields("李四", "13912345678", {}, 0, "中山公园")},
        {"labelled lines with CR", "", "姓名：李四\r王五\r地址：中山公园\r", {}, fields("李四", {}, {}, 0, "中山公园")},
        {"name labels by list order", "", "名字：甲乙\n姓名：丙丁", {}, fields("丙丁", {}, {}, 0, "名字 甲乙")},
        {"customer label", "", "客户姓名：钱七", {}, fields("钱七")},
        {"label followed by end word", "", "姓名：电话：13912345678", {}, fields({}, "13912345678")},
        {"decorations stripped", "", "姓名：\u203C\uFE0F小明\U0001F338", {}, fields("小明")},
        {"phone after first phone label", "", "电话：无\n说明:13700000000", {}, fields({}, "13700000000")},
        {"twelve digits give eleven", "周八 138000000012", {}, {}, fields("周八", "13800000001", {}, 2)},
        {"unknown labelled package", "", "姓名：孙九\n套系：婚礼跟拍", {}, fields("孙九", {}, {}, 0, "婚礼跟拍")},
        {"title with name, package word, amount", "王小明 儿童 300元", {}, {},
         fields("王小明", {}, "儿童写真", 300, "300元")},
        {"deposit paid", "陈七 已付定金200", {}, {},
         fields("陈七", {}, {}, 200, {}, OrderStatus::pendingShoot)},
        {"deposit label and colon", "定金：500", {}, {}, fields({}, {}, {}, 500)},
        {"a year is no deposit", "周九 2025年 300", {}, {}, fields("周九", {}, {}, 300, "2025年")},
        {"zero is no deposit", "吴十 0", {}, {}, fields("吴十")},
        {"free text nan", "郑一 定金nan", {}, {}, fields("郑一")},
        {"long place dropped", "", "姓名：冯二\n地址：" + QString(51, u'路'), {}, fields("冯二")},
        {"cancelled title sets no status", "【已取消】何三 - 外景拍摄", {}, {}, fields("何三", {}, "外景拍摄")},
    };
    for (const ParseCase& c : cases) {
        const ShootEvent event{"id", c.title, {}, {}, c.location, c.notes};
        const ParsedOrderFields p = CalendarEventParser::parse(event);
        EXPECT_EQ(p, c.expected) << c.what << ": " << p.customerName.toStdString() << "|" << p.location.toStdString();
    }
}

TEST(CalendarEventParserTest, RandomAndHugeTextNeverHangs)
{
    const QStringList pieces = {"姓名：", "电话:", "套餐：", "地址：", "定金", "-定金", "-", "\r\n", "\n", "\r", "儿童",
                                "1", "2024", "13800000000", "元", "\U0001F338", "\u203C\uFE0F", QString(QChar(0xD83C)),
                                " ", "，", "nan", "inf", "0x1p3", "1e999", "无电话", "\u0301", "已付定金"};
    QRandomGenerator rng(20261206);
    for (int i = 0; i < 3000; ++i) {
        QString text;
        const int n = rng.bounded(40);
        for (int k = 0; k < n; ++k)
            text += pieces.at(rng.bounded(pieces.size()));
        const ShootEvent event{"id", text.left(rng.bounded(text.size() + 1)), {}, {}, {}, text};
        const ParsedOrderFields p = CalendarEventParser::parse(event);
        ASSERT_TRUE(std::isfinite(p.depositAmount)) << text.toStdString();
        ASSERT_EQ(p.hasValidData, !p.customerName.isEmpty());
    }
    // A pasted megabyte is read only as far as the cap.
    const QString huge = QString("姓名：甲乙\n13800000000 ").repeated(60000);
    const ParsedOrderFields p = CalendarEventParser::parse({"id", huge, {}, {}, huge, huge});
    EXPECT_EQ(p.customerName, "甲乙");
}
