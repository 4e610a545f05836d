#include "lzss_tree_partition.h"

#include <algorithm>
#include <numeric>

namespace pactools {

namespace {

// How far above an even share a part's work may go to keep neighbours
// together.
constexpr double kTolerance = 0.01;
// Improvement steps at most: each moves one or two bytes.
constexpr int kMaxSteps = 32;
// The least share of all neighbouring pairs that a step must part fewer.
constexpr double kLeastGain = 0.0005;

// A share being built: each byte's part, each part's work, and for each
// byte how many of its neighbours sit in each part.
class Share {
public:
    Share(const std::array<std::uint64_t, 256>& work, const BytePairs& pairs, unsigned parts)
        : work_(work), pairs_(pairs), parts_(static_cast<std::uint16_t>(parts)), load_(parts, 0), link_(256 * std::size_t{parts}, 0) {
        const double total = std::accumulate(work.begin(), work.end(), 0.0);
        room_ = (1 + kTolerance) * total / parts;
        double all = 0;
        for (std::uint32_t n : pairs.counts) all += n;
        leastGain_ = std::max(1.0, kLeastGain * 2 * all);
    }

    // Heaviest tree first onto the least loaded part.
    void placeByWork() {
        for (std::size_t a : byWork()) place(a, lightest());
    }

    // Heaviest tree first, into the part holding most of its neighbours
    // among those with room for it; with none there, into the first part
    // with room (so that bytes seen together early stay together), or the
    // least loaded.
    void placeByNeighbours() {
        for (std::size_t a : byWork()) {
            std::uint16_t into = parts_;
            double most = 0;
            for (std::uint16_t q = 0; q < parts_; ++q) {
                if (!fits(a, q)) continue;
                if (into == parts_) into = q;
                if (link(a, q) > most) {
                    most = link(a, q);
                    into = q;
                }
            }
            place(a, into == parts_ ? lightest() : into);
        }
    }

    // Improves step by step: the best single move, or failing that the best
    // exchange of two bytes, that keeps every part within its room (or
    // below the most loaded part, when a heavy tree already overfills one).
    void improve() {
        const double limit = std::max(room_, *std::max_element(load_.begin(), load_.end()));
        std::vector<std::size_t> present;  // only bytes that occur are worth moving
        for (std::size_t a = 0; a < 256; ++a) {
            if (work_[a] != 0) present.push_back(a);
        }
        for (int step = 0; step < kMaxSteps; ++step) {
            double best = leastGain_;
            std::size_t bestA = 0, bestB = 256;
            std::uint16_t bestPart = 0;
            for (std::size_t a : present) {
                for (std::uint16_t q = 0; q < parts_; ++q) {
                    if (q == part_[a] || load_[q] + weight(a) > limit) continue;
                    if (const double g = gain(a, q); g > best) {
                        best = g;
                        bestA = a;
                        bestPart = q;
                    }
                }
            }
            if (best == leastGain_) {
                for (std::size_t i = 0; i < present.size(); ++i) {
                    for (std::size_t j = i + 1; j < present.size(); ++j) {
                        const std::size_t a = present[i], b = present[j];
                        const std::uint16_t p = part_[a], q = part_[b];
                        if (p == q) continue;
                        const double shift = weight(a) - weight(b);
                        if (load_[q] + shift > limit || load_[p] - shift > limit) continue;
                        if (const double g = gain(a, q) + gain(b, p) - 2 * near(a, b); g > best) {
                            best = g;
                            bestA = a;
                            bestB = b;
                        }
                    }
                }
                if (best == leastGain_) return;
                bestPart = part_[bestB];
                move(bestB, part_[bestA]);
            }
            move(bestA, bestPart);
        }
    }

    // Neighbouring pairs that fall in different parts.
    double parted() const {
        double n = 0;
        for (std::size_t a = 0; a < 256; ++a) {
            for (std::uint16_t q = 0; q < parts_; ++q) n += q == part_[a] ? 0 : link(a, q);
        }
        return n / 2;
    }

    const std::array<std::uint16_t, 256>& parts() const { return part_; }

private:
    double weight(std::size_t a) const { return static_cast<double>(work_[a]); }
    double near(std::size_t a, std::size_t b) const {
        return a == b ? 0.0 : static_cast<double>(pairs_.counts[a * 256 + b]) + pairs_.counts[b * 256 + a];
    }
    double link(std::size_t a, std::uint16_t q) const { return link_[a * parts_ + q]; }
    bool fits(std::size_t a, std::uint16_t q) const { return load_[q] + weight(a) <= room_; }
    // What moving a to part q gains: neighbours met there less those left.
    double gain(std::size_t a, std::uint16_t q) const { return link(a, q) - link(a, part_[a]); }
    std::uint16_t lightest() const {
        return static_cast<std::uint16_t>(std::min_element(load_.begin(), load_.end()) - load_.begin());
    }
    std::vector<std::size_t> byWork() const {
        std::vector<std::size_t> order(256);
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return work_[a] > work_[b]; });
        return order;
    }

    void place(std::size_t a, std::uint16_t q) {
        part_[a] = q;
        load_[q] += weight(a);
        for (std::size_t b = 0; b < 256; ++b) link_[b * parts_ + q] += near(b, a);
    }
    void move(std::size_t a, std::uint16_t q) {
        const std::uint16_t from = part_[a];
        load_[from] -= weight(a);
        for (std::size_t b = 0; b < 256; ++b) link_[b * parts_ + from] -= near(b, a);
        place(a, q);
    }

    const std::array<std::uint64_t, 256>& work_;
    const BytePairs& pairs_;
    std::uint16_t parts_;
    std::array<std::uint16_t, 256> part_{};
    std::vector<double> load_;
    std::vector<double> link_;
    double room_ = 0;
    double leastGain_ = 1;
};

}  // namespace

void countBytePairs(std::span<const std::uint8_t> bytes, BytePairs& pairs) {
    for (std::size_t i = 1; i < bytes.size(); ++i) ++pairs.counts[bytes[i - 1] * 256u + bytes[i]];
}

std::array<std::uint16_t, 256> partitionTrees(const std::array<std::uint64_t, 256>& work, const BytePairs& pairs,
                                              unsigned parts) {
    if (parts < 2) return {};
    // Two starts, each improved; the one that parts fewer neighbours wins.
    // (By work alone suits data whose bytes all meet one another, such as
    // text; along neighbours suits data of several kinds.)
    Share byWork(work, pairs, parts);
    byWork.placeByWork();
    byWork.improve();
    Share byNeighbours(work, pairs, parts);
    byNeighbours.placeByNeighbours();
    byNeighbours.improve();
    return byNeighbours.parted() < byWork.parted() ? byNeighbours.parts() : byWork.parts();
}

}  // namespace pactools
