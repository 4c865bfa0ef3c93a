#include "startup/GenericBas.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillnote"));
    QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3").arg(QN_VERSION_MAJOR).arg(QN_VERSION_MINOR).arg(QN_VERSION_PATCH));

    // The program lives in the event loop only when start-up loaded the main window.
    int result = 0;
    if (GenericBas::Main(QApplication::arguments().mid(1)))
        result = QApplication::exec();
    GenericBas::Shutdown();
    return result;
}
