#pragma once
// Wakes the UI thread when serial ports may have come or gone: a QObject around the platform's
// port watcher (platform/port_watcher.h) that emits PortsMayHaveChanged on the thread that made
// it, once the watcher took events that may have changed the list. The receiver lists the ports
// again (after a burst of events has ended, if it likes). Without anything to watch it simply
// never emits. qt_port_notifier_linux.cpp: a QSocketNotifier on the Linux watcher.

#include <QObject>
#include <memory>
#include <string>

class QtPortNotifier : public QObject {
    Q_OBJECT
public:
    // Watches the system's serial devices and `publishedDir`.
    explicit QtPortNotifier(const std::string& publishedDir, QObject* parent = nullptr);
    ~QtPortNotifier() override;

signals:
    void PortsMayHaveChanged();

private:
    struct Native;
    std::unique_ptr<Native> m_native;
};
