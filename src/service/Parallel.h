// Work on many services at once, for the calls the service database takes from several threads.
#pragma once

#include "service/Responsive.h"

#include <algorithm>
#include <exception>
#include <system_error>
#include <thread>
#include <vector>

namespace kestrane {

// Runs body(0) ... body(count - 1), spread over a few threads. Reading one value of each of some 300
// service keys is some 1300 registry calls; under Wine each is a round trip to the wineserver process that
// is spent mostly waiting, and four threads bring such a scan from about 55 ms to about 17 ms (Wine 8,
// two cores). On Windows the calls are far cheaper and this merely shares them out. Each index is visited
// exactly once; the first exception a body throws is thrown again here once every thread has finished.
template <typename Body>
void ForEachIndex(size_t count, Body body) {
    constexpr size_t kMaxThreads = 4;
    constexpr size_t kMinPerThread = 32;  // below that, starting a thread costs more than it saves
    const size_t stride = std::clamp<size_t>(count / kMinPerThread, 1, kMaxThreads);
    std::vector<std::exception_ptr> errors(stride);
    auto run = [&](size_t first) {
        try {
            for (size_t i = first; i < count; i += stride) {
                body(i);
                StayResponsive();  // on the windows' thread only
            }
        } catch (...) {
            errors[first] = std::current_exception();
        }
    };
    std::vector<std::thread> threads;
    std::vector<size_t> leftOver;
    for (size_t first = 1; first < stride; ++first) {
        try {
            threads.emplace_back(run, first);
        } catch (const std::system_error&) {
            leftOver.push_back(first);  // no thread to be had: do that share on this one
        }
    }
    run(0);
    for (size_t first : leftOver) run(first);
    for (auto& t : threads) t.join();
    for (auto& e : errors)
        if (e) std::rethrow_exception(e);
}

}  // namespace kestrane
