#include "base/ordered_pipeline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace talvo::base {
namespace {

struct Item {
    int number = 0;
};
using Pipeline = OrderedPipeline<Item, int>;

// Later items are quicker, so that workers finish out of order.
void pause(int number) {
    std::this_thread::sleep_for(std::chrono::microseconds(200 * (number % 4)));
}

// Pieces and items come back in input order whatever the threads, and no more are held than
// the bounds allow: items read and not done, pieces handed on and not taken (one waiting
// for each item, and one with each worker).
TEST(OrderedPipeline, HandsBackInInputOrderWithinItsBounds) {
    constexpr int Items = 40;
    constexpr int PiecesPerItem = 3;
    for (const unsigned threads : {1U, 2U, 4U}) {
        SCOPED_TRACE(threads);
        const std::size_t inFlight = threads + 1;
        Pipeline pipeline(threads, inFlight);
        int read = 0;
        std::atomic<int> done{0}; // the reader looks at it
        std::atomic<int> piecesOut{0};
        int mostPiecesOut = 0;
        std::size_t mostItemsOut = 0;
        std::vector<int> taken;
        pipeline.run(
            [&](Item& item) {
                mostItemsOut = std::max(mostItemsOut, static_cast<std::size_t>(read - done + 1));
                item.number = read;
                return read++ < Items;
            },
            [&] {
                return [&](const Item& item, const Pipeline::Emit& emit) {
                    for (int p = 0; p < PiecesPerItem; ++p) {
                        pause(item.number + p);
                        ++piecesOut;
                        emit(item.number * PiecesPerItem + p);
                    }
                };
            },
            [&](int piece) {
                // This piece's place is free once it is taken, so it counts no more.
                mostPiecesOut = std::max(mostPiecesOut, --piecesOut);
                taken.push_back(piece);
            },
            [&](const Item& item) {
                taken.push_back(-1 - item.number);
                ++done;
            });
        std::vector<int> wanted;
        for (int i = 0; i < Items; ++i) {
            for (int p = 0; p < PiecesPerItem; ++p) {
                wanted.push_back(i * PiecesPerItem + p);
            }
            wanted.push_back(-1 - i);
        }
        EXPECT_EQ(taken, wanted);
        EXPECT_LE(mostItemsOut, inFlight);
        EXPECT_LE(mostPiecesOut, static_cast<int>(inFlight + threads));
    }
}

// An input that pauses (a pipe kept open) holds up no result already worked: the first
// item's piece and the item itself are taken while the read of the second still waits.
TEST(OrderedPipeline, TakesResultsWhileTheReadWaits) {
    for (const bool fromDone : {false, true}) {
        SCOPED_TRACE(fromDone ? "done" : "take");
        Pipeline pipeline(2, 4);
        std::atomic<bool> resumed{false};
        bool waitedInVain = false;
        int read = 0;
        pipeline.run(
            [&](Item& item) {
                if (read == 1) {
                    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(2);
                    while (!resumed && std::chrono::steady_clock::now() < giveUp) {
                        std::this_thread::sleep_for(std::chrono::milliseconds(1));
                    }
                    waitedInVain = !resumed;
                }
                item.number = read;
                return read++ < 2;
            },
            [&] {
                return [](const Item& item, const Pipeline::Emit& emit) {
                    // cppcheck-suppress constStatement
                    emit(item.number);
                };
            },
            [&](int /*piece*/) {
                if (!fromDone) {
                    resumed = true;
                }
            },
            [&](Item& /*item*/) { resumed = true; });
        EXPECT_FALSE(waitedInVain);
        EXPECT_EQ(read, 3);
    }
}

// The first failure in input order ends the run, whichever thread has it and whenever: what
// came before it is taken, nothing after it, and every thread stops, even one waiting to hand
// on a piece.
TEST(OrderedPipeline, TheFirstFailureInInputOrderEndsTheRun) {
    struct Case {
        const char* name;
        int readFails;  // the item whose reading fails; -1: none
        int workFails;  // the item whose worker fails, with a later one failing sooner
        int takeFails;  // the item whose piece the calling thread fails on
        int wantedDone; // items done before the failure
    };
    const std::vector<Case> cases{
        {"a read", 6, -1, -1, 6},
        {"a worker", -1, 5, -1, 5},
        {"the calling thread", -1, -1, 3, 3},
        {"a worker before a read", 9, 4, -1, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Pipeline pipeline(3, 4);
        int read = 0;
        int done = 0;
        std::string failure;
        try {
            pipeline.run(
                [&](Item& item) {
                    if (read == c.readFails) {
                        throw std::runtime_error("read " + std::to_string(read));
                    }
                    item.number = read;
                    return read++ < 1000;
                },
                [&] {
                    return [&](const Item& item, const Pipeline::Emit& emit) {
                        if (c.workFails >= 0 &&
                            (item.number == c.workFails || item.number == c.workFails + 2)) {
                            pause(c.workFails + 2 - item.number);
                            throw std::runtime_error("work " + std::to_string(item.number));
                        }
                        for (int p = 0; p < 5; ++p) {
                            // cppcheck-suppress constStatement
                            emit(item.number);
                        }
                    };
                },
                [&](int piece) {
                    if (piece == c.takeFails) {
                        throw std::runtime_error("take " + std::to_string(piece));
                    }
                },
                [&](Item& /*item*/) { ++done; });
        } catch (const std::runtime_error& error) {
            failure = error.what();
        }
        const int first = c.workFails >= 0 ? c.workFails : std::max(c.readFails, c.takeFails);
        EXPECT_EQ(failure.substr(failure.find(' ') + 1), std::to_string(first));
        EXPECT_EQ(done, c.wantedDone);
        EXPECT_LT(read, 20); // stopped, not run to the end
    }
}

// Workers without pieces: the item is the result, and each thread keeps its own state.
TEST(OrderedPipeline, EachWorkerKeepsItsOwnState) {
    OrderedPipeline<Item> pipeline(3, 5);
    int read = 0;
    std::atomic<int> workers{0};
    std::vector<int> squares;
    pipeline.run(
        [&](Item& item) {
            item.number = read;
            return read++ < 100;
        },
        [&] {
            ++workers;
            return [count = 0](Item& item) mutable {
                ++count; // a worker's own, never shared: tsan would tell
                item.number *= item.number;
            };
        },
        [&](const Item& item) { squares.push_back(item.number); });
    EXPECT_EQ(workers, 3);
    ASSERT_EQ(squares.size(), 100U);
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(squares[static_cast<std::size_t>(i)], i * i);
    }
}

} // namespace
} // namespace talvo::base
