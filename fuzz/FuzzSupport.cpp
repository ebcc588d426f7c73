#include "FuzzSupport.h"

#include <QGuiApplication>

namespace scrivola::fuzz {

void ensureApplication() {
    static QGuiApplication* application = [] {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "scrivola-fuzz";
        static char* argv[] = {name, nullptr};
        return new QGuiApplication(argc, argv);
    }();
    (void)application;
}

}  // namespace scrivola::fuzz
