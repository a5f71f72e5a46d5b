// Times the feedback chat holding 1,000 stored messages: opening it (made,
// shown and laid out, best of 5) and merging the replies of two inboxes that
// list the same 100 replies (the view following each added row), then the
// store of the 1,100 messages that follows on the saving thread. Prints one
// "name: value" line per figure; the goals are 300 ms and 10 ms.

#include "online/FeedbackChatModel.h"
#include "online/FeedbackManager.h"
#include "online/FeedbackView.h"
#include "platform/UserDefaults.h"
#include "ui/Fonts.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace {
double ms(const QElapsedTimer& t) { return double(t.nsecsElapsed()) / 1e6; }

void print(const char* name, double value)
{
    std::printf("%s: %.3f\n", name, value);
    std::fflush(stdout);
}
}

int main(int argc, char** argv)
{
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Fonts::installApplicationFont();

    QVariantList stored;
    for (int i = 0; i < 1000; ++i)
        stored << QVariantMap{{"isUser", i % 3 != 0},
                              {"text", QString("第%1条：导入的时候能不能按相机型号分文件夹？顺便说一下，FTP 传输很好用。").arg(i)},
                              {"time", "09:%1"}};
    UserDefaults::standard().set("local_feedback_messages", stored);

    double openMs = 1e9;
    for (int round = 0; round < 5; ++round) {
        QElapsedTimer t;
        t.start();
        FeedbackView view;
        view.show();
        QApplication::processEvents();
        openMs = std::min(openMs, ms(t));
    }
    print("open_1000_ms", openMs);

    QList<FeedbackReply> replies;
    for (int inbox = 0; inbox < 2; ++inbox)
        for (int i = 0; i < 100; ++i)
            replies.append({QString("回复%1：好的，下个版本会加上。").arg(i), "2026-12-05T13:00:00Z"});
    double mergeMs = 1e9;
    double saveMs = 1e9;
    for (int round = 0; round < 5; ++round) {
        UserDefaults::standard().set("local_feedback_messages", stored);
        FeedbackView view;
        view.show();
        QApplication::processEvents();
        QElapsedTimer t;
        t.start();
        view.model()->merge(replies);
        mergeMs = std::min(mergeMs, ms(t));
        t.start();
        view.model()->flush();
        saveMs = std::min(saveMs, ms(t));
        if (view.model()->messages().size() != 1101)
            return 1;
    }
    print("merge_2x100_ms", mergeMs);
    print("background_save_1100_ms", saveMs);
    return 0;
}
