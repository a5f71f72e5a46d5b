#pragma once

#include <QString>

// The private folders of the running test process. Every test binary gets a
// fresh temporary HOME and XDG tree before anything reads a path, so no test
// can touch the real user's files.
namespace TestEnv {
QString root();
QString home();
QString configHome();
QString dataHome();

}
