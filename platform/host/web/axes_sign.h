// Which way round the browser gives its motion readings, judged from what
// the page sees. Browsers agree on the axes but not all on the sign: some
// report gravity itself (face up reads -1 g on Z) instead of the specific
// force W3C defines. The evidence:
//  - deviceorientation's beta and gamma give the direction of "up" without
//    any touch; motion samples pointing along it (or against it), a few
//    pairs in a row, tell the sign outright. Orientation that has pointed
//    both ways so is in another frame than the samples and tells nothing;
//  - at every touch the screen faces the performer, so the samples around
//    it (or, when motion starts only after the touch that granted it, its
//    first samples, however late) point up and out of the screen; each
//    touch whose samples agree, several in a row, casts a vote, the
//    majority wins and a tie goes to the latest. One touch made face down
//    is then outvoted by the next ones. A vote whose face-up reading has
//    the top edge down (the mirror of a spectator's hold, screen down, top
//    edge up) counts only while no other kind has been cast.
// Orientation outranks touches unless they outvote it by several; either
// may revise a decision later.
//
// Every event carries its own time (the browser's event.timeStamp), and
// the judge is told every sample: a loaded page hands them over late and in
// bunches, touches before the samples that came before them. Samples come
// in the order of their times; a touch's vote is cast once a sample after
// it (or after its window) says the samples before it are all in.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

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

    // Pairs in a row that point along (or against) orientation's "up".
    static constexpr int kOrientationPairs = 4;
    // Touch votes against orientation, beyond those for it, that overrule it.
    static constexpr int kOverruleOrientation = 3;
    // Agreeing samples in a row (those facing neither way left out) that
    // make a touch's vote.
    static constexpr int kTouchSamples = 3;
    // A touch's samples: from this long before it to this long after.
    static constexpr std::uint64_t kBeforeTouch = 150;
    static constexpr std::uint64_t kAfterTouch = 500;
    // An orientation reading pairs with a sample this close to it.
    static constexpr std::uint64_t kPairWithin = 50;
    // Samples kept for touches handed over late.
    static constexpr std::uint64_t kKeepSamples = 2000;
    static constexpr std::size_t kMaxSamples = 256;
    // Touches whose samples are not all in yet, at most.
    static constexpr std::size_t kMaxOpenTouches = 8;

  private:
    struct Sample {
        double x, y, z;
        std::uint64_t at;
    };
    // A touch's vote: the screen faced the performer as read (+1) or
    // negated (-1); `clear`: held as a performer holds it, not top edge down.
    struct Vote {
        int sign = 0;
        bool clear = false;
    };
    // The votes of one kind: how many each way, and the latest.
    struct Tally {
        int asRead = 0;
        int flipped = 0;
        std::uint64_t latestAt = 0;
        int latest = 0;
        int sign() const { return asRead != flipped ? (asRead > flipped ? 1 : -1) : latest; }
        void add(const Vote& v, std::uint64_t at);
    };

    // The vote of the touch at `at` from the samples so far; `done` when
    // no later sample can change it.
    Vote vote_of(std::uint64_t at, std::uint64_t nextTouch, bool& done) const;
    void judge_touches();
    int orientation_sign() const;
    // +1 as read, -1 negated, 0 nothing decides; `byOrientation` says which did.
    int decided(bool& byOrientation) const;
    const Tally& deciding_tally() const { return m_clear.asRead + m_clear.flipped > 0 ? m_clear : m_weak; }

    bool m_fromAddress;
    // The latest samples, by time.
    std::deque<Sample> m_samples;
    bool m_anySample = false;
    std::uint64_t m_firstSampleAt = 0;
    // Touches not yet voted, by time.
    std::vector<std::uint64_t> m_open;
    Tally m_clear;
    Tally m_weak;

    bool m_haveOrientation = false;
    double m_up[3] = {0, 0, 1};
    std::uint64_t m_orientationAt = 0;
    // Pairs in a row: positive along "up", negative against.
    int m_orientationRun = 0;
    // Whether a run of kOrientationPairs has pointed along, against.
    bool m_orientationAlong = false;
    bool m_orientationAgainst = false;
};

} // namespace zt::web
