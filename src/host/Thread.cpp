#include "host/Thread.h"

#include <deque>
#include <exception>
#include <memory>

namespace ferronel {

namespace {

// Static initialisation runs on the main thread.
const std::thread::id MainThreadId = std::this_thread::get_id();

struct TQueuedCall {
    const std::function<void()>* Method;
    std::exception_ptr Error;
    bool Done = false;
};

struct TSyncQueue {
    std::mutex Mutex;
    std::condition_variable Arrived;  // a call was queued
    std::condition_variable Finished; // a call was run
    std::deque<TQueuedCall*> Calls;
    std::function<void()> Wakeup;
};

TSyncQueue& Queue() {
    static TSyncQueue queue;
    return queue;
}

} // namespace

bool IsMainThread() { return std::this_thread::get_id() == MainThreadId; }

void SetSynchronizeWakeup(std::function<void()> Wakeup) {
    std::lock_guard lock(Queue().Mutex);
    Queue().Wakeup = std::move(Wakeup);
}

bool CheckSynchronize(std::chrono::milliseconds Timeout) {
    TSyncQueue& q = Queue();
    std::unique_lock lock(q.Mutex);
    if (q.Calls.empty() && Timeout.count() > 0)
        q.Arrived.wait_for(lock, Timeout, [&] { return !q.Calls.empty(); });
    bool ran = false;
    while (!q.Calls.empty()) {
        TQueuedCall* call = q.Calls.front();
        q.Calls.pop_front();
        lock.unlock();
        try {
            (*call->Method)();
        } catch (...) {
            call->Error = std::current_exception();
        }
        lock.lock();
        call->Done = true;
        ran = true;
        q.Finished.notify_all();
    }
    return ran;
}

uint32_t timeGetTime() {
    return uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count());
}

TThread::TThread(bool CreateSuspended) {
    if (!CreateSuspended) Start();
}

TThread::~TThread() {
    Terminate();
    if (FStarted) WaitFor();
}

void TThread::Start() {
    if (FStarted) return;
    FStarted = true;
    FThread = std::thread([this] { Run(); });
}

void TThread::Run() {
    try {
        Execute();
    } catch (...) {
        // A worker's failure ends the worker only; it has no caller to report to.
    }
    FFinished = true;
    // Wake a main thread that waits in WaitFor.
    std::lock_guard lock(Queue().Mutex);
    Queue().Arrived.notify_all();
}

void TThread::WaitFor() {
    if (!FStarted || !FThread.joinable()) return;
    if (IsMainThread())
        while (!FFinished) CheckSynchronize(std::chrono::milliseconds(10));
    FThread.join();
}

void TThread::Synchronize(const std::function<void()>& Method) {
    if (IsMainThread()) {
        Method();
        return;
    }
    TSyncQueue& q = Queue();
    TQueuedCall call{&Method, nullptr, false};
    std::function<void()> wakeup;
    {
        std::lock_guard lock(q.Mutex);
        q.Calls.push_back(&call);
        wakeup = q.Wakeup;
        q.Arrived.notify_all();
    }
    if (wakeup) wakeup();
    std::unique_lock lock(q.Mutex);
    q.Finished.wait(lock, [&] { return call.Done; });
    if (call.Error) std::rethrow_exception(call.Error);
}

void TSimpleEvent::SetEvent() {
    std::lock_guard lock(FMutex);
    FSignalled = true;
    if (FAutoReset)
        FCondition.notify_one();
    else
        FCondition.notify_all();
}

void TSimpleEvent::ResetEvent() {
    std::lock_guard lock(FMutex);
    FSignalled = false;
}

bool TSimpleEvent::WaitFor(int TimeoutMs) {
    std::unique_lock lock(FMutex);
    const auto ready = [&] { return FSignalled; };
    const bool signalled = TimeoutMs < 0
                               ? (FCondition.wait(lock, ready), true)
                               : FCondition.wait_for(lock, std::chrono::milliseconds(TimeoutMs), ready);
    if (signalled && FAutoReset) FSignalled = false;
    return signalled;
}

} // namespace ferronel
