#include "host/Exceptions.h"
#include "host/Thread.h"

#include <gtest/gtest.h>

namespace ferronel {
namespace {

class TWorker : public TThread {
public:
    explicit TWorker(std::function<void(TWorker&)> body) : TThread(true), FBody(std::move(body)) {}
    ~TWorker() override {
        Terminate();
        WaitFor();
    }
    void Execute() override { FBody(*this); }

private:
    std::function<void(TWorker&)> FBody;
};

TEST(Thread, SynchronizeRunsOnTheMainThreadWhileItWaits) {
    std::vector<bool> onMain;
    TWorker worker([&](TWorker&) {
        for (int i = 0; i < 3; ++i) TThread::Synchronize([&] { onMain.push_back(IsMainThread()); });
    });
    worker.Start();
    worker.WaitFor(); // would deadlock if waiting did not drain the queue
    EXPECT_EQ(onMain, (std::vector<bool>{true, true, true}));
    EXPECT_TRUE(worker.Finished());
}

TEST(Thread, SynchronizedErrorsReachTheWorkerAndTerminationIsSeen) {
    std::string caught;
    TWorker failing([&](TWorker&) {
        try {
            TThread::Synchronize([] { throw EInvalidGraphic("from main"); });
        } catch (const EInvalidGraphic& e) {
            caught = e.Message();
        }
    });
    failing.Start();
    failing.WaitFor();
    EXPECT_EQ(caught, "from main");

    TSimpleEvent wake(true);
    int rounds = 0;
    {
        TWorker looping([&](TWorker& self) {
            if (wake.WaitFor(-1)) ++rounds;
            while (!self.Terminated()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        });
        looping.Start();
        wake.SetEvent();
    } // the destructor terminates and joins
    EXPECT_EQ(rounds, 1);
}

TEST(Thread, EventsAutoResetAndTimeOut) {
    TSimpleEvent manual(false), automatic(true);
    EXPECT_FALSE(manual.WaitFor(1));
    manual.SetEvent();
    EXPECT_TRUE(manual.WaitFor(0));
    EXPECT_TRUE(manual.WaitFor(0));
    automatic.SetEvent();
    EXPECT_TRUE(automatic.WaitFor(0));
    EXPECT_FALSE(automatic.WaitFor(0));

    TThreadList<int> list;
    list.LockList()->push_back(4);
    EXPECT_EQ(list.LockList()->size(), 1u);
}

} // namespace
} // namespace ferronel
