// A bare Qt Widgets window: what start-up costs before any app code runs.
// With "--cjk" it shows one line of Chinese text in the app's CJK font: the
// fontconfig and font cost that any Chinese window pays. With "--launch-text"
// it shows the text of the app's launch page in the same sizes and weights
// (ten fonts, no icons): what drawing that text costs in Qt alone.

#include <QApplication>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

#include <cstring>

namespace {

QFont cjkFont(int pixelSize, bool bold = false)
{
    QFont font;
    font.setFamilies({QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Sans SC")});
    font.setPixelSize(pixelSize);
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    return font;
}

void addLaunchText(QWidget* window)
{
    struct Line {
        int pixelSize;
        bool bold;
        const char* text;
    };
    static const Line lines[] = {
        {18, true, "Kelvara"},
        {13, false, "摄影师的最佳搭档 | 告别繁琐・一键整理"},
        {13, false, "搜索功能、设置、订单…"},
        {13, false, "/tmp/tessary-test-rprisl/home/Desktop"},
        {14, false, "文件  帮助  搜索"},
        {14, true, "教程  选择保存位置  选择存储卡"},
        {15, true, "自动导片  选择照片存放位置"},
        {15, false, "自动分离  快速分片  FTP传输  档期收入  照片设计  批量小工具"},
        {15, false, "自动删废片  作品展示  在线选片  选择/拖拽相机存储卡进行自动导片"},
        {15, false, "当日每次导片自动新建文件夹"},
        {12, false, "不选择默认把储存卡的照片新建1个文件夹存到桌面上  检查更新 | 发送反馈"},
        {12, false, "开启后统一以当天日期命名，多次导片自动区分，次日自动按照当天的日期命名新文件夹"},
        {11, false, "一键从储存卡复制照片到桌面  有新版本"},
        {8, false, "敬请期待"},
        {8, true, "Ai"},
    };
    auto* column = new QVBoxLayout(window);
    for (const Line& line : lines) {
        auto* label = new QLabel(QString::fromUtf8(line.text));
        label->setFont(cjkFont(line.pixelSize, line.bold));
        column->addWidget(label);
    }
}

}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.resize(1100, 700);
    if (argc > 1 && std::strcmp(argv[1], "--cjk") == 0) {
        auto* line = new QLabel(QStringLiteral("摄影师的最佳搭档"), &window);
        line->setFont(cjkFont(13));
        line->move(20, 20);
    } else if (argc > 1 && std::strcmp(argv[1], "--launch-text") == 0) {
        addLaunchText(&window);
    }
    window.show();
    return QApplication::exec();
}
