// Which way round the browser gives its motion readings, judged from what
// the page sees. Browsers agree on the axes but not all on the sign: some
// report gravity itself (face up reads -1 g on Z) instead of the specific
// force W3C defines. The evidence:
//  - deviceorientation's beta and gamma give the direction of "up" without
//    any touch; a motion sample pointing along it (or against it) tells
//    the sign outright once a few pairs agree;
//  - at every touch the screen faces the performer, so the samples around
//    it (or, when motion starts only after the touch that granted it, its
//    first samples) point up and out of the screen; each touch whose
//    samples agree, several in a row, casts a vote, the majority wins and
//    a tie goes to the latest. One touch made face down is then outvoted by the next ones.
// Orientation outranks touches; either may revise a decision later.
#pragma once

#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace zt::web {

// Which way round the page takes the motion readings.
enum class AxesSign {
    Undecided, // no evidence yet: no reading is passed on
    AsRead,    // the W3C sign
    Flipped,   // the whole reading negated
    Address,   // "flip" in the address decides, axis by axis
};

class AxesSignJudge {
  public:
    explicit AxesSignJudge(bool fromAddress) : m_fromAddress(fromAddress) {}

    // A motion sample as the browser gave it (m/s^2), taken at `at` ms.
    void motion(double x, double y, double z, std::uint64_t at);
    // A deviceorientation reading in degrees, taken at `at` ms.
    void orientation(double beta, double gamma, std::uint64_t at);
    // A finger went down at `at` ms.
    void touch(std::uint64_t at);

    AxesSign sign() const;
    // For the rehearsal overlay: "SIGN NOT YET KNOWN", "SIGN W3C BY
    // ORIENTATION", "SIGN FLIPPED BY 2 OF 3 TOUCHES", "SIGN SET BY ADDRESS".
    std::string words() const;

    // Agreeing orientation pairs (net) that settle the sign.
    static constexpr int kOrientationPairs = 4;
    // Agreeing samples in a row (those facing neither way left out) that
    // make a touch's vote.
    static constexpr int kTouchSamples = 3;
    // A touch's samples: from this long before it to this long after.
    static constexpr std::uint64_t kBeforeTouch = 150;
    static constexpr std::uint64_t kAfterTouch = 500;
    // Motion that first arrives this soon after a touch was granted by it
    // (iOS asks at the touch; the answer may wait for the user).
    static constexpr std::uint64_t kFirstMotionAfterTouch = 15000;
    // An orientation reading this old pairs with no sample.
    static constexpr std::uint64_t kPairWithin = 50;

  private:
    struct Sample {
        double x, y, z;
        std::uint64_t at;
    };
    // The touch whose samples are being counted.
    struct Window {
        bool open = false;
        bool awaitingMotion = false; // no motion yet: its first samples count
        // No sample after this counts (awaiting motion: the first must come
        // by then).
        std::uint64_t end = 0;
        // The latest run of samples that agree: facing the performer as
        // read (+1) or negated (-1).
        int runSign = 0;
        int run = 0;
    };

    void count(const Sample& s);
    void vote_if_agreed();
    bool orientation_decides() const { return std::abs(m_orientationTally) >= kOrientationPairs; }

    bool m_fromAddress;
    // The latest samples, a ring; a count of 0: no motion yet.
    std::array<Sample, 16> m_recent{};
    std::size_t m_recentCount = 0;
    std::size_t m_recentNext = 0;
    Window m_window;
    bool m_haveOrientation = false;
    double m_up[3] = {0, 0, 1};
    std::uint64_t m_orientationAt = 0;
    int m_orientationTally = 0; // as read minus negated
    int m_votesAsRead = 0;
    int m_votesFlipped = 0;
    AxesSign m_lastVote = AxesSign::Undecided;
};

} // namespace zt::web
