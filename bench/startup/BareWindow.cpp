// A bare Qt Widgets window: what start-up costs before any app code runs.
// With "--cjk" it shows one line of Chinese text in the app's CJK font: the
// fontconfig and font cost that any Chinese window pays.

#include <QApplication>
#include <QLabel>
#include <QWidget>

#include <cstring>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.resize(1100, 700);
    if (argc > 1 && std::strcmp(argv[1], "--cjk") == 0) {
        auto* line = new QLabel(QStringLiteral("摄影师的最佳搭档"), &window);
        QFont font;
        font.setFamilies({QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Sans SC")});
        font.setPixelSize(13);
        line->setFont(font);
        line->move(20, 20);
    }
    window.show();
    return QApplication::exec();
}
