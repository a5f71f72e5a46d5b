// Times a 10,000-line changelog from a local endpoint: the fetch alone, the
// changelog popup and the update screen's changelog card from the reply to
// their first painted frame, and one page of scrolling in each. Prints one
// "name: value" line per figure (milliseconds).

#include "HttpStub.h"
#include "online/ChangelogPopupView.h"
#include "online/RemoteFetch.h"
#include "online/SoftwareUpdateView.h"
#include "online/UpdateChecker.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

#include <cstdio>
#include <cstdlib>

namespace {

void print(const char* name, double ms)
{
    std::printf("%s: %.1f\n", name, ms);
    std::fflush(stdout);
}

double ms(const QElapsedTimer& t) { return double(t.nsecsElapsed()) / 1e6; }

QByteArray versionFile(int lines)
{
    QByteArray text = "9.9\nhttps://d.example/app\n";
    for (int i = 0; i < lines; ++i)
        text += i % 25 == 0 ? "V" + QByteArray::number(9 - i / 25 % 9) + "." + QByteArray::number(i) + "\n"
              : i % 25 == 1 ? "【新增】\n"
                            : "• 第" + QByteArray::number(i) + "项：导入、分离和档期的改进与修复，长长的一行说明文字\n";
    return text;
}

// Average time of one page scroll with its repaint.
double scrollPage(QAbstractScrollArea* area)
{
    QScrollBar* bar = area->verticalScrollBar();
    QElapsedTimer t;
    t.start();
    const int steps = 50;
    for (int i = 0; i < steps; ++i) {
        bar->setValue(bar->value() + bar->pageStep());
        area->viewport()->repaint();
    }
    return ms(t) / steps;
}

}

int main(int argc, char** argv)
{
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    HttpStub stub;
    stub.route("/version.txt", 200, versionFile(10000));

    double fetchMs = 0;
    // The first request also sets up the network manager; time the second.
    for (int round = 0; round < 2; ++round) {
        QElapsedTimer t;
        t.start();
        bool done = false;
        RemoteFetch::getText(stub.base() + "version.txt", 10000, nullptr, [&](const auto&) { done = true; });
        (void)QTest::qWaitFor([&] { return done; }, 10000);
        fetchMs = ms(t);
    }
    print("fetch_10000_lines", fetchMs);
    {
        QElapsedTimer t;
        t.start();
        ChangelogPopupView popup;
        popup.show();
        (void)QTest::qWaitFor([&] { return !popup.isLoading(); }, 10000);
        popup.repaint();
        print("popup_reply_to_frame_10000_lines", ms(t) - fetchMs);
        print("popup_scroll_page", scrollPage(popup.rows()));
    }
    {
        UpdateChecker checker("V3.5");
        SoftwareUpdateView view(&checker, {});
        view.resize(880, 700);
        view.show();
        auto* text = view.findChild<QPlainTextEdit*>("changelogText");
        QElapsedTimer t;
        t.start();
        view.findChild<QAbstractButton*>("changelogToggle")->click();
        (void)QTest::qWaitFor([&] { return text->toPlainText() != "加载中..."; }, 10000);
        view.repaint();
        print("card_reply_to_frame_10000_lines", ms(t) - fetchMs);
        print("card_scroll_page", scrollPage(text));
    }
    return 0;
}
