#pragma once

#include <atomic>
#include <memory>

#include <QMetaObject>
#include <QThread>

// A worker of the team server on a thread of its own, as the sync and the reader run theirs. The
// worker watches the stopping flag between its parts of work; on stopping it first closes what it
// holds (its finish(), on its own thread, where its connections live), then the thread ends and
// the worker goes.
template<class Worker>
class TeamWorkerThread
{
public:
    TeamWorkerThread() = default;
    ~TeamWorkerThread() { stop(); }
    TeamWorkerThread(const TeamWorkerThread &) = delete;
    TeamWorkerThread &operator=(const TeamWorkerThread &) = delete;

    // Replaces a worker already running by one made of settings, on the started thread.
    template<class Settings>
    Worker *start(const Settings &settings)
    {
        stop();
        m_stopping = false;
        m_worker = std::make_unique<Worker>(settings, &m_stopping);
        m_worker->moveToThread(&m_thread);
        m_thread.start();
        return m_worker.get();
    }

    void stop()
    {
        if (!m_worker)
            return;
        m_stopping = true;
        QMetaObject::invokeMethod(m_worker.get(), &Worker::finish, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
        m_worker.reset();
    }

    // Null while none runs.
    Worker *worker() const { return m_worker.get(); }

private:
    QThread m_thread;
    std::atomic<bool> m_stopping{false};
    std::unique_ptr<Worker> m_worker;
};
