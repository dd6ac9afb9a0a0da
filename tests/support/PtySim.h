// kvx-sim on a real pseudo-terminal and the configurator as shipped (system
// clock, QSerialPort, its own 20 ms timer) connected to it. KVX_SIM_EXE names
// the simulator executable.
#pragma once

#include "app/KVX_Configurator.h"
#include "link/LinkConstants.h"
#include "tests/support/SimRig.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace kvx::test {

struct PtySim {
    QTemporaryDir dir;
    std::unique_ptr<QProcess> sim;
    std::unique_ptr<KVX_Configurator> w;
    // The window's port list: tests take the terminal away and bring it back.
    std::shared_ptr<QStringList> ports = std::make_shared<QStringList>();
    QString path;

    QString logPath() const { return dir.filePath("sim.jsonl"); }

    // Starts kvx-sim with `args` and a window whose one port is its terminal,
    // and presses Connect once the port list shows it (unless `pressConnect`
    // is false). The window opens it with `serial`, or with the shipped
    // program's QSerialPort when none.
    bool start(const QStringList& args, std::unique_ptr<SerialDevice> serial = nullptr,
               bool pressConnect = true) {
        sim = std::make_unique<QProcess>();
        sim->start(QStringLiteral(KVX_SIM_EXE), args + QStringList{"--log", logPath()});
        if (!sim->waitForStarted(5000))
            return false;
        for (int i = 0; i < 50 && !sim->canReadLine(); ++i)
            sim->waitForReadyRead(100);
        path = QString::fromLocal8Bit(sim->readLine()).trimmed();
        if (!path.startsWith(QLatin1String("/dev/")))
            return false;
        *ports = QStringList{path};
        Platform platform;
        platform.ports = std::make_unique<ListedPorts>(ports);
        platform.serial = std::move(serial);
        w = std::make_unique<KVX_Configurator>(std::move(platform));
        if (!QTest::qWaitFor([&] { return w->ui->kvxConnect->isEnabled(); }, 2000))
            return false;
        if (pressConnect)
            w->KVXConnectButtonPressed();
        return true;
    }

    // Closes the window (it says farewell while kvx-sim may still listen),
    // then ends kvx-sim.
    void stop() {
        w.reset();
        if (sim && sim->state() != QProcess::NotRunning) {
            sim->terminate();
            if (!sim->waitForFinished(3000))
                sim->kill();
            sim->waitForFinished(1000);
        }
        sim.reset();
        QFile::remove(logPath());
    }

    // The events of one kind kvx-sim logged, in order.
    QList<QJsonObject> logged(const QString& kind) const {
        QFile file(logPath());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QList<QJsonObject> events;
        while (!file.atEnd()) {
            const QJsonObject e = QJsonDocument::fromJson(file.readLine()).object();
            if (e.value("event").toString() == kind)
                events << e;
        }
        return events;
    }
    // The command lines kvx-sim logged.
    QStringList loggedLines() const {
        QStringList lines;
        for (const QJsonObject& e : logged(QStringLiteral("command")))
            lines << e.value("line").toString();
        return lines;
    }
};

} // namespace kvx::test
