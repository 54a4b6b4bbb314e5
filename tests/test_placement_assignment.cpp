#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <memory>
#include <cmath>
#include <functional>
#include <numeric>
#include <queue>
#include <random>
#include <string>
#include <thread>

#include "engine/Parallel.h"
#include "engine/StageTimes.h"
#include "engine_fixture.h"
#include "placement/AssignmentCosts.h"
#include "placement/MinimumAssignment.h"
#include "placement/RadixHeap.h"
#include "scoped_switches.h"

namespace {

long long totalCost(const std::vector<Point2D>& from, const std::vector<Point2D>& to,
                    const std::vector<int32_t>& columns) {
    long long sum = 0;
    for (size_t i = 0; i < from.size(); ++i) {
        sum += squaredDistanceCost(from[i], to[columns[i]]);
    }
    return sum;
}

// The least total over every permutation, and the first permutation (in row order) reaching it.
std::pair<long long, std::vector<int32_t>> bruteForceBest(const std::vector<Point2D>& from,
                                                          const std::vector<Point2D>& to,
                                                          const std::vector<bool>& known) {
    std::vector<int32_t> perm(from.size()), first;
    std::iota(perm.begin(), perm.end(), 0);
    long long best = -1;
    do {
        long long c = 0;
        for (size_t i = 0; i < from.size(); ++i) {
            c += known[i] ? squaredDistanceCost(from[i], to[perm[i]]) : 0;
        }
        if (best < 0 || c < best) {
            best = c;
            first = perm;  // permutations come in increasing order: the first one is kept
        }
    } while (std::next_permutation(perm.begin(), perm.end()));
    return {best, first};
}

std::vector<bool> known(int n) {
    return std::vector<bool>(size_t(n), true);
}

bool isPermutation(std::vector<int32_t> columns) {
    std::sort(columns.begin(), columns.end());
    for (size_t i = 0; i < columns.size(); ++i) {
        if (columns[i] != static_cast<int32_t>(i)) {
            return false;
        }
    }
    return true;
}

A_Time seconds(double s) {
    return A_Time{A_long(s * 1000 + 0.5), 1000};
}

MySitePoint siteAt(float x, float y) {
    MySitePoint s;
    s.position = Point2D(x, y);
    return s;
}

// An engine over the simulated host whose Source maps sites onto the composition unchanged.
struct Assigning : fixture::HostedEngine {
    explicit Assigning(int layers, LayerOrder order)
        : HostedEngine(fixture::collageProject(layers)) {
        engine.positionModes[0] = PositionMode::Random;
        engine.layerOrders[0] = order;
    }
    void run(const std::vector<MySitePoint>& sites, double at = 0.0) {
        engine.sites = sites;
        engine.getAssignmentIdsAndPositions(seconds(at), 0);
    }
};

}  // namespace

TEST(PlacementAssignment, MatchesBruteForceOnSmallRandomInputs) {
    std::mt19937 rng(12);
    std::uniform_real_distribution<float> coord(0, 500);
    for (int trial = 0; trial < 200; ++trial) {
        const int n = 1 + trial % 7;
        std::vector<Point2D> from, to;
        for (int i = 0; i < n; ++i) {
            from.emplace_back(coord(rng), coord(rng));
            to.emplace_back(coord(rng), coord(rng));
        }
        const auto columns = minimumDistanceAssignment(from, to, known(n));
        ASSERT_TRUE(isPermutation(columns));
        EXPECT_EQ(totalCost(from, to, columns), bruteForceBest(from, to, known(n)).first) << trial;
    }
}

TEST(PlacementAssignment, LayersMoveToTheNearestFreeSites) {
    const std::vector<Point2D> from = {Point2D(0, 0), Point2D(100, 0), Point2D(200, 0)};
    const std::vector<Point2D> to = {Point2D(210, 5), Point2D(-3, 2), Point2D(95, -4)};
    const auto columns = minimumDistanceAssignment(from, to, std::vector<bool>(3, true));
    EXPECT_EQ(columns, (std::vector<int32_t>{1, 2, 0}));
}

// 60000 px apart is beyond the 32-bit range of squared distances; 64-bit costs still order them.
TEST(PlacementAssignment, FarDistancesDoNotOverflow) {
    EXPECT_EQ(squaredDistanceCost(Point2D(0, 0), Point2D(60000, 0)), 3600000000LL);
    const std::vector<Point2D> from = {Point2D(0, 0), Point2D(70000, 0)};
    const std::vector<Point2D> to = {Point2D(69000, 0), Point2D(-60000, 0)};
    const auto columns = minimumDistanceAssignment(from, to, std::vector<bool>(2, true));
    EXPECT_EQ(columns, (std::vector<int32_t>{1, 0}));
    EXPECT_EQ(squaredDistanceCost(Point2D(0, 0), Point2D(1e30f, 0)), kMaxAssignmentCost);
    // Apart in z alone: 50000^2 is beyond 32 bits just as well.
    const std::vector<Point2D> stacked = {Point2D(0, 0, 0), Point2D(0, 0, 50000)};
    const std::vector<Point2D> swapped = {stacked[1], stacked[0]};
    EXPECT_FALSE(costsFit32Bits(stacked, swapped));
    EXPECT_EQ(referenceAssignment(stacked, swapped, std::vector<bool>(2, true)),
              (std::vector<int32_t>{1, 0}));
}

TEST(PlacementAssignment, UnknownStartsTakeWhatTheOthersLeave) {
    const std::vector<Point2D> from = {Point2D(0, 0), Point2D(0, 0)};
    const std::vector<Point2D> to = {Point2D(500, 0), Point2D(1, 0)};
    const auto columns = minimumDistanceAssignment(from, to, std::vector<bool>{false, true});
    EXPECT_EQ(columns, (std::vector<int32_t>{0, 1}));
}

TEST(PlacementAssignment, NoLayersNoColumns) {
    EXPECT_TRUE(minimumDistanceAssignment({}, {}, {}).empty());
}

namespace {

std::vector<Point2D> scatter(std::mt19937& rng, int n, float size) {
    std::uniform_real_distribution<float> coord(0, size);
    std::vector<Point2D> points;
    for (int i = 0; i < n; ++i) {
        points.emplace_back(coord(rng), coord(rng));
    }
    return points;
}

std::vector<Point2D> lattice(int n, float step) {
    std::vector<Point2D> points;
    for (int i = 0; i < n; ++i) {
        points.emplace_back(step * float(i % 7), step * float(i / 7));
    }
    return points;
}

std::vector<int32_t> referenceSettled(const std::vector<Point2D>& from,
                                      const std::vector<Point2D>& to,
                                      const std::vector<bool>& known) {
    return referenceAssignment(from, to, known);
}

// Far above any solve here (3000 layers take well under a second): a solver that loops fails
// its test instead of holding the suite until the test's time limit.
constexpr auto kSolveLimit = std::chrono::seconds(20);

// The fast solvers' columns, solved on a thread of their own so that a solver that never ends
// fails the test; such a thread is left running on its own copies until the process ends.
std::vector<int32_t> fastSettled(const std::vector<Point2D>& from, const std::vector<Point2D>& to,
                                 const std::vector<bool>& known, AssignmentWarmStart& warm) {
    auto state = std::make_shared<AssignmentWarmStart>(warm);
    std::packaged_task<std::vector<int32_t>()> solve(
        [from, to, known, state] { return assignLayers(from, to, known, *state); });
    std::future<std::vector<int32_t>> columns = solve.get_future();
    std::thread(std::move(solve)).detach();
    if (columns.wait_for(kSolveLimit) != std::future_status::ready) {
        ADD_FAILURE() << "the assignment of " << from.size() << " layers did not end within "
                      << kSolveLimit.count() << " s";
        return {};
    }
    std::vector<int32_t> result = columns.get();
    warm = *state;
    return result;
}

// The solvers that served the assignments since the last resetStageTimes, by name.
std::string servedBy() {
    const std::pair<AssignmentSolver, const char*> names[] = {
        {AssignmentSolver::StartsAlike, "starts alike"},
        {AssignmentSolver::NearPairs, "near pairs"},
        {AssignmentSolver::Auction, "auction"},
        {AssignmentSolver::Dense, "dense"}};
    std::string served;
    for (const auto& [solver, name] : names) {
        for (long long k = 0; k < assignmentsServed(solver); ++k) {
            served += served.empty() ? name : std::string(", ") + name;
        }
    }
    return served;
}

// Same columns as dlib's, ties settled by the same rule.
void expectSameAsReference(const std::vector<Point2D>& from, const std::vector<Point2D>& to,
                           const std::vector<bool>& known, const char* what) {
    AssignmentWarmStart cold;
    const auto fast = fastSettled(from, to, known, cold);
    ASSERT_TRUE(isPermutation(fast)) << what;
    EXPECT_EQ(fast, referenceSettled(from, to, known)) << what;
}

// The same, and served by the solver named (the dense one gives the same columns, far slower).
void expectSameServedBy(const char* solver, const std::vector<Point2D>& from,
                        const std::vector<Point2D>& to, const std::vector<bool>& known,
                        const char* what) {
    resetStageTimes();
    expectSameAsReference(from, to, known, what);
    EXPECT_EQ(servedBy(), solver) << what;
}

}  // namespace

TEST(PlacementAssignmentFast, MatchesTheReferenceOnRandomInputs) {
    std::mt19937 rng(31);
    for (int n : {1, 2, 3, 8, 60, 300}) {
        for (int trial = 0; trial < (n < 60 ? 30 : 3); ++trial) {
            const auto from = scatter(rng, n, 1000), to = scatter(rng, n, 1000);
            expectSameAsReference(from, to, std::vector<bool>(n, true), "random");
        }
    }
}

// Layers that start on one point (fresh layers all at the comp centre) and repeated sites:
// every solver's answer settles to the same columns, the lower layer taking the lower site.
TEST(PlacementAssignmentFast, CoincidentStartsAndRepeatedSitesSettleAlike) {
    std::mt19937 rng(4);
    const int n = 40;
    const std::vector<Point2D> centre(n, Point2D(500, 300));
    const auto to = scatter(rng, n, 1000);
    expectSameAsReference(centre, to, std::vector<bool>(n, true), "one start");
    AssignmentWarmStart warm;
    EXPECT_EQ(fastSettled(centre, to, std::vector<bool>(n, true), warm),
              (std::vector<int32_t>{0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13,
                                    14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27,
                                    28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39}));

    auto from = scatter(rng, n, 1000);
    for (int i = 0; i < n; i += 3) {
        from[i] = from[0];  // a third of the layers share a start
    }
    auto repeated = scatter(rng, n, 1000);
    for (int j = 1; j < n; j += 2) {
        repeated[j] = repeated[j - 1];  // every site twice
    }
    expectSameAsReference(from, repeated, std::vector<bool>(n, true), "shared");
    std::vector<bool> known(n, true);
    for (int i = n / 2; i < n; ++i) {
        known[i] = false;  // after a failed fetch
    }
    expectSameAsReference(from, to, known, "unknown");
}

// Layers and sites on lattices of equal spacing: many assignments share the minimum total, and
// both solvers end at the first of them.
TEST(PlacementAssignmentFast, EquidistantLatticesSettleAlike) {
    for (int n : {2, 9, 49, 120}) {
        auto to = lattice(n, 10.0f);
        std::mt19937 rng(n);
        std::shuffle(to.begin(), to.end(), rng);
        auto from = lattice(n, 10.0f);
        for (Point2D& p : from) {
            p.x += 5.0f;
        }
        expectSameAsReference(from, to, std::vector<bool>(n, true), "lattice");
    }
}

// A warm start from the last frame's prices and columns gives the cold answer, whether the
// sites stayed (every pair still tight) or moved.
// Moved sites start from bids over the near pairs; sites on a lattice tie everywhere.
TEST(PlacementAssignmentFast, WarmStartGivesTheColdAnswer) {
    for (const int n : {1, 2, 5, 49, 200}) {
        std::mt19937 rng(6 + n);
        const std::vector<bool> known(n, true);
        AssignmentWarmStart warm;
        auto from = scatter(rng, n, 800);
        auto to = scatter(rng, n, 800);
        fastSettled(from, to, known, warm);
        for (int frame = 0; frame < 4; ++frame) {
            std::vector<Point2D> next = frame == 1 ? to : scatter(rng, n, 800);
            if (frame == 3) {
                next = lattice(n, 10.0f);
                std::shuffle(next.begin(), next.end(), rng);
            }
            const auto columns = warm.columns;
            for (int i = 0; i < n; ++i) {
                from[i] = to[columns[i]];
            }
            to = next;
            AssignmentWarmStart cold;
            const auto expected = fastSettled(from, to, known, cold);
            EXPECT_EQ(fastSettled(from, to, known, warm), expected) << n << " " << frame;
            EXPECT_EQ(expected, referenceSettled(from, to, known)) << n << " " << frame;
        }
    }
}

TEST(PlacementAssignmentFast, MatchesTheReferenceAtFullSize) {
    std::mt19937 rng(9);
    const int n = 3000;
    const auto from = scatter(rng, n, 1900), to = scatter(rng, n, 1900);
    expectSameServedBy("near pairs", from, to, std::vector<bool>(n, true), "3000");
    // Every layer at the comp centre (fresh layers): layer i takes site i, without a cubic search.
    const std::vector<Point2D> centre(n, Point2D(960, 540));
    AssignmentWarmStart warm;
    std::vector<int32_t> identity(n);
    std::iota(identity.begin(), identity.end(), 0);
    resetStageTimes();
    EXPECT_EQ(fastSettled(centre, to, std::vector<bool>(n, true), warm), identity);
    EXPECT_EQ(servedBy(), "starts alike");
}

// Starts far from every site (the near pairs are all wrong at first, and pairs must be admitted
// over several rounds), a crowd of layers on one start beside scattered ones, and a thin line of
// sites: the same columns as the reference, each from the solver meant for it.
TEST(PlacementAssignmentFast, FarCrowdedAndThinInputsMatchTheReference) {
    std::mt19937 rng(15);
    const int n = 300;
    auto from = scatter(rng, n, 1000);
    const auto to = scatter(rng, n, 1000);
    for (Point2D& p : from) {
        p.x += 5000.0f;
    }
    // A first frame far from its sites: every layer wants the same few, past the near pairs'
    // budget, and the auction serves.
    expectSameServedBy("auction", from, to, known(n), "far");
    auto crowd = scatter(rng, n, 1000);
    for (int i = 0; i < 20; ++i) {
        crowd[size_t(i * 7)] = Point2D(500, 500);
    }
    expectSameServedBy("auction", crowd, to, known(n), "crowd");
    std::vector<Point2D> line;
    for (int j = 0; j < n; ++j) {
        line.emplace_back(float(j) * 3.0f, 7.0f);
    }
    // Sites on a line: the first frame's searches come close to the near pairs' budget, and
    // whether they pass it differs between compilers; either way no dense solve.
    resetStageTimes();
    expectSameAsReference(scatter(rng, n, 1000), line, known(n), "line");
    EXPECT_NE(servedBy(), "dense") << "line";
    EXPECT_NE(servedBy(), "starts alike") << "line";
    expectSameServedBy("starts alike", {Point2D(3, 4)}, {Point2D(30, 40)}, known(1), "one");
}

// The near sites, the checks and the cost matrix are split over threads: one thread and several
// give the same columns and prices.
TEST(PlacementAssignmentFast, ThreadsDoNotChangeTheAnswer) {
    std::mt19937 rng(44);
    const int n = 400;
    auto from = scatter(rng, n, 1000);
    const auto to = scatter(rng, n, 1000);
    std::vector<bool> starts = known(n);
    AssignmentWarmStart one, many, dense;
    std::vector<int32_t> columns, denseColumns;
    {
        const ScopedWorkerThreads single(1);
        columns = fastSettled(from, to, starts, one);
        starts[3] = false;  // an unknown start: the dense solver
        denseColumns = fastSettled(from, to, starts, dense);
    }
    for (int threads : {2, 3}) {
        const ScopedWorkerThreads pinned(threads);
        AssignmentWarmStart again, denseAgain;
        EXPECT_EQ(fastSettled(from, to, known(n), again), columns) << threads;
        EXPECT_EQ(again.prices, one.prices) << threads;
        EXPECT_EQ(fastSettled(from, to, starts, denseAgain), denseColumns) << threads;
    }
}

// Last frame's prices and columns, no longer all tight, with a start unknown (the dense solver):
// the pairs that are still tight are kept once each, and the rest solved.
TEST(PlacementAssignmentFast, StaleWarmStartWithAnUnknownStart) {
    const std::vector<Point2D> from = {Point2D(5, 0), Point2D(10, 1), Point2D(0, 0)};
    const std::vector<Point2D> to = {Point2D(0, 0), Point2D(10, 0), Point2D(100, 100)};
    const std::vector<bool> starts = {true, true, false};
    AssignmentWarmStart warm;
    warm.prices = {0, 0, 0};
    warm.columns = {1, 0, 2};
    resetStageTimes();
    EXPECT_EQ(fastSettled(from, to, starts, warm), (std::vector<int32_t>{0, 1, 2}));
    EXPECT_EQ(servedBy(), "auction");
    EXPECT_EQ(referenceSettled(from, to, starts), (std::vector<int32_t>{0, 1, 2}));
}

// Two layers at opposite corners of a unit square and two sites at the others: both ways cost
// 2, and the first layer takes the lower-numbered site whichever way the sites are listed.
TEST(PlacementAssignmentFast, EqualTotalsGoToTheFirstInLayerOrder) {
    const std::vector<Point2D> from = {Point2D(0, 0), Point2D(10, 10)};
    const std::vector<Point2D> to = {Point2D(10, 0), Point2D(0, 10)};
    AssignmentWarmStart warm;
    EXPECT_EQ(fastSettled(from, to, known(2), warm), (std::vector<int32_t>{0, 1}));
    EXPECT_EQ(referenceSettled(from, to, known(2)), (std::vector<int32_t>{0, 1}));
    const std::vector<Point2D> swapped = {to[1], to[0]};
    AssignmentWarmStart again;
    EXPECT_EQ(fastSettled(from, swapped, known(2), again), (std::vector<int32_t>{0, 1}));
}

// Small inputs full of exact ties (points on a coarse lattice, repeated starts and sites, unknown
// starts): both solvers give exactly the first least-total permutation that brute force finds.
TEST(PlacementAssignmentFast, TiesSettleToTheFirstLeastTotalPermutation) {
    std::mt19937 rng(27);
    std::uniform_int_distribution<int> cell(0, 3);
    for (int trial = 0; trial < 300; ++trial) {
        const int n = 1 + trial % 7;
        std::vector<Point2D> from, to;
        std::vector<bool> starts(size_t(n), true);
        for (int i = 0; i < n; ++i) {
            from.emplace_back(10.0f * float(cell(rng)), 10.0f * float(cell(rng)));
            to.emplace_back(10.0f * float(cell(rng)), 10.0f * float(cell(rng)));
            starts[size_t(i)] = trial % 5 != 0 || i % 3 != 0;
        }
        const std::vector<int32_t> expected = bruteForceBest(from, to, starts).second;
        AssignmentWarmStart cold, auction;
        EXPECT_EQ(fastSettled(from, to, starts, cold), expected) << "trial " << trial;
        EXPECT_EQ(auctionAssignment(from, to, starts, auction), expected) << "trial " << trial;
        EXPECT_EQ(referenceSettled(from, to, starts), expected) << "trial " << trial;
    }
}

namespace {

// Where the layers start before the first press, over a 1920 x 1080 composition whose sites lie
// on an ellipse filling it (or on a thin ring), as in the first-press benchmark.
struct Layout {
    const char* name;
    bool ringSites;
    std::function<Point2D(int i, int n, std::mt19937& rng, const std::vector<Point2D>& to)> start;
};

const std::vector<Layout>& layouts() {
    static const std::vector<Layout> table = {
        {"centre", false, [](int, int, auto&, auto&) { return Point2D(960, 540); }},
        {"scattered", false,
         [](int, int, auto& rng, auto&) {
             std::uniform_real_distribution<float> u(0, 1);
             return Point2D(1920 * u(rng), 1080 * u(rng));
         }},
        {"grid", false,
         [](int i, int n, auto&, auto&) {
             const int columns = int(std::ceil(std::sqrt(n * 16.0 / 9.0)));
             const int rows = (n + columns - 1) / columns;
             return Point2D((float(i % columns) + 0.5f) * 1920 / float(columns),
                            (float(i / columns) + 0.5f) * 1080 / float(rows));
         }},
        {"corner", false,
         [](int, int, auto& rng, auto&) {
             std::uniform_real_distribution<float> u(0, 200);
             return Point2D(u(rng), u(rng));
         }},
        {"left column", false,
         [](int i, int n, auto&, auto&) {
             return Point2D(20, (float(i) + 0.5f) * 1080 / float(n));
         }},
        {"one point outside", false, [](int, int, auto&, auto&) { return Point2D(-400, 1300); }},
        {"two far clusters", false,
         [](int i, int, auto& rng, auto&) {
             std::uniform_real_distribution<float> u(0, 100);
             return Point2D((i % 2 ? -1500 : 3400) + u(rng), 500 + u(rng));
         }},
        {"line through", false,
         [](int i, int n, auto&, auto&) {
             const float t = (float(i) + 0.5f) / float(n);
             return Point2D(1920 * t, 1080 * t);
         }},
        {"line with jitter", false,
         [](int i, int n, auto& rng, auto&) {
             // Off the line by up to 3 px: the prices along it start the auction only roughly.
             std::uniform_real_distribution<float> u(-3, 3);
             const float t = (float(i) + 0.5f) / float(n), off = u(rng);
             return Point2D(1920 * t - 0.49f * off, 1080 * t + 0.87f * off);
         }},
        {"ring sites", true,
         [](int, int, auto& rng, auto&) {
             std::uniform_real_distribution<float> u(0, 1);
             return Point2D(1920 * u(rng), 1080 * u(rng));
         }},
        {"on the sites", false,
         [](int i, int n, auto&, const auto& to) { return to[size_t((i * 7 + 3) % n)]; }},
        {"left column, ring sites", true,
         [](int i, int n, auto&, auto&) {
             return Point2D(20, (float(i) + 0.5f) * 1080 / float(n));
         }},
        {"crowd beside others", false,
         [](int i, int, auto& rng, auto&) {
             std::uniform_real_distribution<float> u(0, 1);
             return i % 3 ? Point2D(700, 300) : Point2D(1920 * u(rng), 1080 * u(rng));
         }},
    };
    return table;
}

// Sites inside the ellipse filling the composition, or on a ring 4 px wide.
std::vector<Point2D> layoutSites(int n, bool ring, std::mt19937& rng) {
    std::uniform_real_distribution<float> u(0, 1);
    std::vector<Point2D> to;
    while (int(to.size()) < n) {
        const float a = 6.2831853f * u(rng);
        const float r = ring ? 500.0f + 4.0f * u(rng) : std::sqrt(u(rng));
        to.emplace_back(960 + (ring ? r : 960 * r) * std::cos(a),
                        540 + (ring ? r : 540 * r) * std::sin(a));
    }
    return to;
}

}  // namespace

// The first press from every starting layout and the adversarial ones: the routed solver (near
// pairs, or the auction when they do not settle) and the auction alone give dlib's columns, ties
// settled by the same rule.
TEST(PlacementAssignmentFast, EveryStartingLayoutMatchesTheReference) {
    for (const Layout& layout : layouts()) {
        for (int n : {7, 40, 150}) {
            std::mt19937 rng{uint32_t(n)};
            const std::vector<Point2D> to = layoutSites(n, layout.ringSites, rng);
            std::vector<Point2D> from;
            for (int i = 0; i < n; ++i) {
                from.push_back(layout.start(i, n, rng, to));
            }
            const std::vector<int32_t> expected = referenceSettled(from, to, known(n));
            AssignmentWarmStart cold, auction;
            EXPECT_EQ(fastSettled(from, to, known(n), cold), expected) << layout.name << " " << n;
            EXPECT_EQ(auctionAssignment(from, to, known(n), auction), expected)
                << layout.name << " " << n;
        }
    }
}

TEST(PlacementAssignmentOrder, RandomKeepsTheGenerationOrder) {
    Assigning a(3, LayerOrder::Random);
    a.run({siteAt(80, 10), siteAt(5, 90), siteAt(40, 45)});
    EXPECT_EQ(a.engine.assignmentIds[0], (std::vector<int32_t>{0, 1, 2}));
    EXPECT_EQ(a.engine.layerOrders[0], LayerOrder::Random);
    EXPECT_EQ(a.engine.positions[0][0].x, 80.0f);
    EXPECT_EQ(a.engine.positions[1][0].x, 5.0f);
    EXPECT_EQ(a.engine.positions[2][0].x, 40.0f);
    EXPECT_EQ(a.engine.positions[2][0].z, 0.0f);
}

// The image centre order measures from the centre of the opaque bounds, the comp centre order
// from the centre of the whole image.
TEST(PlacementAssignmentOrder, ImageCentreIsTheOpaqueBoundsCentre) {
    for (LayerOrder order :
         {LayerOrder::ByDistanceFromCompCenter, LayerOrder::ByDistanceFromImageCenter}) {
        Assigning a(2, order);
        // Opaque pixels x 0..19, y 0..19 of 100 x 100: bounds centre (9.5, 9.5), image (50, 50).
        fixture::setImage(a.engine, 100, 100, [](int x, int y) { return x < 20 && y < 20; });
        a.run({siteAt(45, 45), siteAt(12, 12)});
        const float first = order == LayerOrder::ByDistanceFromImageCenter ? 12.0f : 45.0f;
        EXPECT_EQ(a.engine.positions[0][0].x, first) << int(order);
        EXPECT_EQ(a.engine.assignmentIds[0], (std::vector<int32_t>{0, 1})) << int(order);
    }
}

// At the first frame a layer with two keys or more starts from its last key before the frame,
// not from its value at the frame.
TEST(PlacementAssignmentMinimum, FirstFrameStartsFromThePreviousKey) {
    Assigning a(2, LayerOrder::MinimumAssignment);
    a.collageLayer(0).position.addKey(sim::Time::fromSeconds(0), sim::Vec3{10, 50, 0});
    a.collageLayer(0).position.addKey(sim::Time::fromSeconds(1), sim::Vec3{900, 50, 0});
    a.collageLayer(1).position.value = {300, 50, 0};
    // From 10 and 300 the cheapest is 10 -> 0 and 300 -> 450; from the value at 0.5 s (near
    // 455) it would be the other way round.
    a.run({siteAt(450, 50), siteAt(0, 50)}, 0.5);
    EXPECT_EQ(a.engine.assignmentIds[0], (std::vector<int32_t>{1, 0}));
    EXPECT_EQ(a.engine.positions[0][0].x, 0.0f);
    EXPECT_EQ(a.engine.positions[1][0].x, 450.0f);
    EXPECT_EQ(a.host.callCount("AEGP_GetNewLayerStream"), 2);
    EXPECT_TRUE(a.host.leaks().empty());
}

// A failed stream fetch ends the fetching: the layers after it have no known start and take what
// the others leave; every layer is still placed.
TEST(PlacementAssignmentMinimum, FailedStreamFetchLeavesTheRestUnknown) {
    Assigning a(3, LayerOrder::MinimumAssignment);  // layers at x 100, 110, 120
    a.host.injectFault("AEGP_GetNewLayerStream", 2, A_Err_GENERIC);
    a.run({siteAt(300, 50), siteAt(101, 50), siteAt(0, 50)});
    const std::vector<int32_t>& ids = a.engine.assignmentIds[0];
    ASSERT_EQ(ids.size(), 3u);
    EXPECT_EQ(ids[0], 1);
    EXPECT_TRUE(isPermutation(ids));
    EXPECT_EQ(a.host.callCount("AEGP_GetNewLayerStream"), 2);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(a.engine.positions[i][0].x, a.engine.sites[ids[i]].position.x) << i;
    }
    EXPECT_TRUE(a.host.leaks().empty());
}

// The searches' heap against a binary heap on Dijkstra-like input: keys never below the last
// popped, many equal, small steps and jumps across high bits, pops between pushes.
TEST(PlacementRadixHeap, PopsTheLeastKeyLikeABinaryHeap) {
    std::mt19937_64 rng(11);
    for (int trial = 0; trial < 20; ++trial) {
        RadixHeap heap;
        heap.clear();
        using Entry = std::pair<uint64_t, int32_t>;
        std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> reference;
        std::vector<Entry> popped, expected;
        uint64_t last = trial == 0 ? 0 : rng() >> 4;
        for (int step = 0; step < 3000; ++step) {
            if (reference.empty() || rng() % 3 != 0) {
                const uint64_t jump = rng() % 4 == 0 ? rng() >> (rng() % 40 + 24) : rng() % 5;
                const Entry e{last + jump, int32_t(step)};
                heap.push(e.first, e.second);
                reference.push(e);
            } else {
                popped.push_back(heap.pop());
                expected.push_back(reference.top());
                reference.pop();
                ASSERT_EQ(popped.back().first, expected.back().first) << trial << " " << step;
                last = popped.back().first;
            }
        }
        while (!reference.empty()) {
            popped.push_back(heap.pop());
            expected.push_back(reference.top());
            reference.pop();
        }
        EXPECT_TRUE(heap.empty());
        std::sort(popped.begin(), popped.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(popped, expected) << trial;  // every entry once, equal keys in any order
    }
}
