#include "startup/GenericBas.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char* argv[]) {
    // --help and --version are answered before Qt looks for a display, so they work anywhere.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (const QString text = GenericBas::InformationText(arguments); !text.isEmpty()) {
        const QByteArray bytes = text.toLocal8Bit();
        const bool written =
            std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) == size_t(bytes.size());
        return written && std::fflush(stdout) == 0 ? 0 : 1;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillnote"));
    // Lets the desktop match the windows with the installed entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.quillnote"));
    QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3").arg(QN_VERSION_MAJOR).arg(QN_VERSION_MINOR).arg(QN_VERSION_PATCH));

    // The program lives in the event loop only when start-up loaded the main window.
    int result = 0;
    if (GenericBas::Main(QApplication::arguments().mid(1)))
        result = QApplication::exec();
    GenericBas::Shutdown();
    return result;
}
