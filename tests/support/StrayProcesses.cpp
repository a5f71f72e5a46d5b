#include "StrayProcesses.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <csignal>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Child {
    pid_t pid = 0;
    char state = 0;
    bool ownSession = false; // not this process's session: a detached start's
    QString program;
};

QList<Child> children()
{
    QList<Child> out;
    const pid_t self = getpid(), session = getsid(0);
    for (const QString& entry : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool number = false;
        const pid_t pid = entry.toInt(&number);
        if (!number)
            continue;
        QFile stat("/proc/" + entry + "/stat");
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        // "pid (comm) state ppid pgrp session ...": the name may hold spaces.
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() < 4 || fields[1].toInt() != self)
            continue;
        Child c;
        c.pid = pid;
        c.state = fields[0].isEmpty() ? 0 : fields[0][0];
        c.ownSession = fields[3].toInt() != session;
        c.program = QFileInfo("/proc/" + entry + "/exe").symLinkTarget();
        out.append(c);
    }
    return out;
}

bool isThisBuildsProgram(const QString& program)
{
    static const QString self = QFileInfo("/proc/self/exe").symLinkTarget();
    const QString name = QFileInfo(program).fileName();
    return program == self || name == QLatin1String("tessary") || name == QLatin1String("tessary-reminders");
}

}

void StrayProcesses::adoptOrphans()
{
    prctl(PR_SET_CHILD_SUBREAPER, 1);
}

std::optional<int> StrayProcesses::awaitChild(pid_t pid, int ms)
{
    const QDeadlineTimer deadline(ms);
    for (;;) {
        int status = 0;
        const pid_t ended = waitpid(pid, &status, WNOHANG);
        if (ended == pid)
            return status;
        if (ended < 0 || deadline.hasExpired())
            return std::nullopt;
        QThread::msleep(5);
    }
}

QStringList StrayProcesses::endStrays()
{
    QStringList strays;
    for (const Child& c : children()) {
        // A QProcess of a live object reaps its own child: only a detached
        // start's is ours to reap.
        if (c.state == 'Z') {
            if (c.ownSession)
                waitpid(c.pid, nullptr, WNOHANG);
            continue;
        }
        if (!c.ownSession && !isThisBuildsProgram(c.program))
            continue;
        strays << QStringLiteral("%1 (pid %2%3)")
                      .arg(c.program.isEmpty() ? QStringLiteral("?") : c.program)
                      .arg(c.pid)
                      .arg(c.ownSession ? QStringLiteral(", started detached") : QString());
        kill(c.pid, SIGKILL);
        if (c.ownSession)
            waitpid(c.pid, nullptr, 0);
    }
    return strays;
}

void StrayProcessCheck::OnTestEnd(const ::testing::TestInfo&)
{
    const QStringList strays = StrayProcesses::endStrays();
    if (!strays.isEmpty())
        ADD_FAILURE() << "the test left running, now ended: " << strays.join(", ").toStdString();
}
