// A server alone in its own process, so a test can kill it the hard way:
// serves the folder given as the only argument on a free port and prints
// that port on the first line of standard output.

#include "ftp/FtpServer.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2)
        return 2;
    FtpServer server;
    server.start(0, QString::fromLocal8Bit(argv[1]));
    if (!server.isRunning())
        return 1;
    std::printf("%u\n", unsigned(server.serverPort()));
    std::fflush(stdout);
    return app.exec();
}
