#include "engine/chunklanes.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace orvella {

namespace {

// The order in which the lanes feed their chunks, and the first failure.
class TFeedTurn {
public:
    // Waits until chunk k may be fed; false when a lane has failed. A lane that keeps pace finds
    // its turn a few microseconds away, sooner than a sleep on the condition would end, so it
    // spins for a moment first.
    bool Await(int64_t k) {
        constexpr auto SpinTime = std::chrono::microseconds(50);
        const auto until = std::chrono::steady_clock::now() + SpinTime;
        while (Fed.load(std::memory_order_acquire) != k && !Failed.load() &&
               std::chrono::steady_clock::now() < until) {
#if defined(__x86_64__) || defined(__i386__)
            __builtin_ia32_pause();
#endif
        }
        std::unique_lock<std::mutex> guard(Lock);
        Changed.wait(guard, [&] { return Fed.load() == k || Failed.load(); });
        return !Failed.load();
    }
    void Done(int64_t k) {
        {
            std::lock_guard<std::mutex> guard(Lock);
            Fed.store(k + 1, std::memory_order_release);
        }
        Changed.notify_all();
    }
    void Fail(std::exception_ptr failure) {
        {
            std::lock_guard<std::mutex> guard(Lock);
            if (!Failure) Failure = failure;
            Failed = true;
        }
        Changed.notify_all();
    }
    bool HasFailed() const {
        return Failed.load();
    }
    void RethrowFailure() {
        if (Failure) std::rethrow_exception(Failure);
    }

private:
    std::mutex Lock;
    std::condition_variable Changed;
    std::atomic<int64_t> Fed{0};
    std::atomic<bool> Failed{false};
    std::exception_ptr Failure;
};

} // namespace

template <class T>
void RunChunkLanes(TSampleStore& target, TPeakBuilder* peaks, int64_t chunks, size_t bufferValues,
                   const std::type_identity_t<TChunkFill<T>>& fill,
                   const std::function<void(int64_t k)>& report) {
    if (chunks <= 0) return;
    TFeedTurn turn;
    auto lane = [&](int64_t firstChunk) {
        try {
            std::vector<T> scratch(bufferValues), out(bufferValues);
            for (int64_t k = firstChunk; k < chunks && !turn.HasFailed(); k += 2) {
                const TChunkPlace place = fill(k, scratch.data(), out.data());
                target.WriteBlock(out.data(), place.TargetIndex,
                                  place.TargetIndex + int64_t(place.Count) - 1);
                if (!turn.Await(k)) return;
                if (peaks) peaks->Feed(out.data(), uint32_t(place.Count));
                if (report) report(k);
                turn.Done(k);
            }
        } catch (...) {
            turn.Fail(std::current_exception());
        }
    };
    if (chunks == 1) {
        lane(0);
    } else {
        std::thread other(lane, 1);
        lane(0);
        other.join();
    }
    turn.RethrowFailure();
}

template void RunChunkLanes<int16_t>(TSampleStore&, TPeakBuilder*, int64_t, size_t,
                                     const TChunkFill<int16_t>&,
                                     const std::function<void(int64_t)>&);
template void RunChunkLanes<float>(TSampleStore&, TPeakBuilder*, int64_t, size_t,
                                   const TChunkFill<float>&, const std::function<void(int64_t)>&);

} // namespace orvella
