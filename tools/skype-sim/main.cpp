// skype-sim: a stand-in for the Skype client on the D-Bus session bus.
//   skype-sim [--scenario FILE] [--log FILE] [--heard FOLDER] [--log-audio]
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <csignal>
#include <cstdio>

#include "scenario.h"
#include "skype_sim.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QString scenarioPath;
    QString logPath;
    QString heardFolder;
    bool logAudio = false;
    const QStringList args = QCoreApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--scenario") && i + 1 < args.size()) {
            scenarioPath = args[++i];
        } else if (args[i] == QLatin1String("--log") && i + 1 < args.size()) {
            logPath = args[++i];
        } else if (args[i] == QLatin1String("--heard") && i + 1 < args.size()) {
            heardFolder = args[++i];
        } else if (args[i] == QLatin1String("--log-audio")) {
            logAudio = true;
        } else {
            std::fprintf(stderr, "usage: skype-sim [--scenario FILE] [--log FILE] [--heard FOLDER] [--log-audio]\n");
            return 2;
        }
    }
    std::string text;
    if (!scenarioPath.isEmpty()) {
        QFile file(scenarioPath);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "skype-sim: cannot read %s\n", qPrintable(scenarioPath));
            return 2;
        }
        text = file.readAll().toStdString();
    }
    std::string error;
    const std::string folder = scenarioPath.isEmpty() ? std::string(".")
                                                      : QFileInfo(scenarioPath).absolutePath().toStdString();
    auto scenario = skypesim::ParseScenario(text, error, folder);
    if (!scenario) {
        std::fprintf(stderr, "skype-sim: %s: %s\n", qPrintable(scenarioPath), error.c_str());
        return 2;
    }
    // Ending by a signal still releases the bus name (the bus does that when
    // the connection closes), so no handler is needed.
    if (heardFolder.isEmpty()) heardFolder = logPath.isEmpty() ? QStringLiteral(".") : QFileInfo(logPath).absolutePath();
    skypesim::SkypeSim sim(std::move(*scenario), logPath, heardFolder, logAudio);
    QString startError;
    if (!sim.Start(startError)) {
        std::fprintf(stderr, "skype-sim: %s\n", qPrintable(startError));
        return 1;
    }
    return QCoreApplication::exec();
}
