#pragma once

#include <array>
#include <csignal>

#include <QObject>

class QSocketNotifier;

// Turns SIGINT, SIGTERM and SIGHUP (Ctrl+C, a logout, a closed terminal) into a Qt
// signal on the main thread, where stopping can be done in order. While one lives the
// process is no longer ended by them; they are the system's again once it is gone. A
// signal the process was started to ignore (nohup, a background job) stays ignored.
class StopSignals final : public QObject {
    Q_OBJECT

public:
    explicit StopSignals(QObject* parent = nullptr);
    ~StopSignals() override;
    Q_DISABLE_COPY_MOVE(StopSignals)

    // The exit status a shell gives a process ended by the signal: 128 + its number.
    static int exitStatus(int signalNumber) { return 128 + signalNumber; }

signals:
    void stopRequested(int signalNumber);

private:
    void readSignal();

    QSocketNotifier* notifier = nullptr;
    // What each signal did before, put back when this goes.
    std::array<struct sigaction, 3> previous{};
    std::array<bool, 3> taken{};
};
