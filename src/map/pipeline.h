#pragma once

// The threads of a run: one reads windows ahead, workers estimate them, the calling thread
// writes them back in order.

#include "estimation/estimation.h"
#include "map/cell_estimates.h"
#include "map/inputs.h"
#include "map/output.h"
#include "map/run.h"
#include "map/settings.h"
#include "map/window.h"
#include "map/window_plan.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace talvo::map {

// Each GDAL dataset stays on one thread, and a write that waits for the driver's compression
// does not hold up the reads the workers need. Memory is bounded by the slots: one window
// more than there are workers.
class Pipeline {
public:
    // Writes the windows of `plan` to `output`, whose first row is the input's `firstRow`.
    Pipeline(const Settings& settings, const estimation::PtfModel& model,
             const InputRasters& inputs, OutputRaster& output, const WindowPlan& plan, int firstRow,
             const Progress& progress)
        : m_settings(settings), m_model(model), m_inputs(inputs), m_output(output), m_plan(plan),
          m_firstRow(firstRow), m_progress(progress) {}

    // Runs the plan with `threads` workers; returns the cells estimated. Throws the first
    // failure of any thread, Error when the system refuses a thread.
    std::uint64_t run(unsigned threads);
    // The sand, silt and clay of the cells written.
    const estimation::ContentUnitTally& contents() const { return m_contents; }

private:
    enum class State { free, queued, estimated };

    struct Slot {
        State state = State::free;
        Window window;
        InputBuffers inputs;
        ResultBuffers results;
        std::uint64_t estimated = 0;
        estimation::ContentUnitTally contents;
        std::exception_ptr failure;
    };

    Slot& slotOf(std::uint64_t sequence) { return m_slots[sequence % m_slots.size()]; }

    // Starts the reader and `workers` workers into `running`; the failure when the system
    // refuses one.
    std::exception_ptr start(std::vector<std::thread>& running, unsigned workers);
    // Ends the reader and the workers once they are done with what they hold.
    void stop();

    // Reads window k into slot k mod slots once window k - slots is written, until a window
    // cannot be read.
    void read();
    // Reads the slot's window and hands it on: to the workers, or with its failure to the
    // writer. False when it failed.
    bool readWindow(Slot& slot);
    // Writes each window as soon as it and all before it are estimated.
    void write();
    // A worker: estimates the windows queued until the run stops.
    void work();
    // The next window queued; nullptr when the run stops.
    Slot* nextQueued();
    void estimate(Slot& slot, CellEstimates& estimates) const;

    const Settings& m_settings;
    const estimation::PtfModel& m_model;
    const InputRasters& m_inputs;
    OutputRaster& m_output;
    const WindowPlan& m_plan;
    int m_firstRow;
    const Progress& m_progress;

    std::vector<Slot> m_slots;
    std::mutex m_mutex;
    // Each wakes only the threads it concerns: the reader, the workers or the writer.
    std::condition_variable m_slotFreed;
    std::condition_variable m_windowQueued;
    std::condition_variable m_windowEstimated;
    std::deque<Slot*> m_queue;
    bool m_stop = false;
    std::uint64_t m_estimated = 0; // the calling thread's alone, as is m_contents
    estimation::ContentUnitTally m_contents;
};

} // namespace talvo::map
