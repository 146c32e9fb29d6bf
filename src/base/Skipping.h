// Runs one step of a sequence whose steps each may fail on their own: the failure is not reported and
// the next step runs.
#pragma once

namespace kestrane {

template <class F>
void Skipping(F&& step) {
    try {
        step();
    } catch (...) {
        // This step's failure is not reported; the next step runs.
    }
}

}  // namespace kestrane
