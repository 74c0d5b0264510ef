// grab-screen: saves what the X display shows as a PNG, for the project's
// screenshot scripts (run under Xvfb).
//   grab-screen OUT.png [--delay MS]
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QThread>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    // The X display, whatever the environment asks the dialer to use.
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments();
    if (args.size() < 2 || args[1] == QLatin1String("--help")) {
        std::fputs("usage: grab-screen OUT.png [--delay MS]\n", args.size() < 2 ? stderr : stdout);
        return args.size() < 2 ? 2 : 0;
    }
    if (args.size() >= 4 && args[2] == QLatin1String("--delay")) QThread::msleep(args[3].toULong());
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        std::fputs("grab-screen: no screen\n", stderr);
        return 1;
    }
    if (!screen->grabWindow(0).save(args[1], "PNG")) {
        std::fprintf(stderr, "grab-screen: cannot write %s\n", qPrintable(args[1]));
        return 1;
    }
    return 0;
}
