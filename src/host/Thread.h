// Threads for the few jobs that run off the main thread (animation painters). A worker hands work
// to the main thread with Synchronize: the call is queued and the worker waits until the main
// thread has run it. The main thread drains the queue from its event loop (the window system wakes
// it through the hook below) and whenever it waits for a worker, so the two never deadlock.
#pragma once

#include "host/Object.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <mutex>
#include <thread>

namespace ferronel {

bool IsMainThread();
// Runs the queued calls; with a timeout, waits up to that long for one to arrive. Answers whether
// any call ran. Must be called on the main thread.
bool CheckSynchronize(std::chrono::milliseconds Timeout = std::chrono::milliseconds(0));
// Called (on the worker's thread) whenever a call is queued, so the event loop can drain the queue.
void SetSynchronizeWakeup(std::function<void()> Wakeup);
// Milliseconds of a steady clock.
uint32_t timeGetTime();

class TThread : public TObject {
    FERRONEL_ABSTRACT_CLASS(TThread, TObject)
public:
    explicit TThread(bool CreateSuspended);
    // Terminates the thread and waits for it. A derived class whose Execute uses its own members must
    // do the same (Terminate, WaitFor) in its destructor, before those members go.
    ~TThread() override;
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    void Start();
    void Terminate() { FTerminated = true; }
    bool Terminated() const { return FTerminated; }
    bool Finished() const { return FFinished; }
    // Waits for Execute to end; on the main thread, queued calls keep running meanwhile.
    void WaitFor();
    // Runs Method on the main thread and waits for it; on the main thread it runs at once. An
    // exception from Method reaches the caller.
    static void Synchronize(const std::function<void()>& Method);

    int Priority = 0; // kept for callers; the platform's scheduler decides

protected:
    virtual void Execute() = 0;

private:
    void Run();

    std::thread FThread;
    std::atomic<bool> FTerminated{false};
    std::atomic<bool> FFinished{false};
    bool FStarted = false;
};

// An event threads wait on; auto-reset events clear themselves when they release a waiter.
class TSimpleEvent {
public:
    explicit TSimpleEvent(bool AutoReset = false) : FAutoReset(AutoReset) {}
    void SetEvent();
    void ResetEvent();
    // Answers true when signalled, false on time-out; a negative timeout waits without limit.
    bool WaitFor(int TimeoutMs);

private:
    std::mutex FMutex;
    std::condition_variable FCondition;
    bool FSignalled = false;
    bool FAutoReset;
};

// A list shared between threads: LockList gives the list with its lock held.
template <typename T> class TThreadList {
public:
    class TLocked {
    public:
        TLocked(std::mutex& m, std::list<T>& l) : FLock(m), FList(l) {}
        std::list<T>& operator*() { return FList; }
        std::list<T>* operator->() { return &FList; }

    private:
        std::unique_lock<std::mutex> FLock;
        std::list<T>& FList;
    };
    TLocked LockList() { return TLocked(FMutex, FList); }

private:
    std::mutex FMutex;
    std::list<T> FList;
};

} // namespace ferronel
