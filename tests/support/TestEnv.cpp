#include "TestEnv.h"

#include <QDir>

namespace TestEnv {
QString root() { return qEnvironmentVariable("TESSARY_TEST_ROOT"); }
QString home() { return qEnvironmentVariable("HOME"); }
QString configHome() { return qEnvironmentVariable("XDG_CONFIG_HOME"); }
QString dataHome() { return qEnvironmentVariable("XDG_DATA_HOME"); }
}
