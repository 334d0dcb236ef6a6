#include "axes_sign.h"

#include "zt/drivers/accelerometer.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace zt::web {

namespace {

// How much a sample (in g) says the screen faces up to a performer: out of
// the screen (Z), or, held steeply towards them, along the top edge and out
// of the screen together (75 degrees from flat leaves Z a quarter of a g).
double facing(double y, double z) {
    return std::max(z, (y + z) / std::numbers::sqrt2);
}

// Half a g: beyond doubt, either way.
constexpr double kClear = 0.5;
// A face-up phone whose top edge is down by more than 20 degrees is not
// held as a performer holds it at a tap: it is as likely a spectator's
// phone face down with the top edge up.
const double kTopEdgeDown = std::sin(20 * std::numbers::pi / 180);

struct Facing {
    int sign; // +1: the sample faces the performer as read; -1: negated; 0: neither
    bool clear;
};

Facing facing_of(double y, double z) {
    const double g = drivers::kStandardGravity;
    const bool asRead = facing(y / g, z / g) > kClear;
    const bool negated = facing(-y / g, -z / g) > kClear;
    const int sign = asRead == negated ? 0 : asRead ? 1 : -1;
    return {sign, sign * y / g > -kTopEdgeDown};
}

} // namespace

void AxesSignJudge::Tally::add(const Vote& v, std::uint64_t at) {
    ++(v.sign > 0 ? asRead : flipped);
    if (at >= latestAt) {
        latestAt = at;
        latest = v.sign;
    }
}

void AxesSignJudge::motion(double x, double y, double z, std::uint64_t at) {
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z))
        return;
    // In the order of their times (they come so; a stray one is placed).
    const auto later = std::upper_bound(m_samples.begin(), m_samples.end(), at,
                                        [](std::uint64_t t, const Sample& s) { return t < s.at; });
    m_samples.insert(later, Sample{x, y, z, at});
    while (m_samples.size() > kMaxSamples || m_samples.front().at + kKeepSamples < m_samples.back().at)
        m_samples.pop_front();
    if (!m_anySample || at < m_firstSampleAt)
        m_firstSampleAt = at;
    m_anySample = true;

    // Against the orientation's "up", if it is as fresh as the sample.
    const double length = std::sqrt(x * x + y * y + z * z);
    const std::uint64_t apart = at > m_orientationAt ? at - m_orientationAt : m_orientationAt - at;
    if (m_haveOrientation && apart <= kPairWithin && length > drivers::kStandardGravity / 2) {
        const double along = (x * m_up[0] + y * m_up[1] + z * m_up[2]) / length;
        if (along > kClear) {
            m_orientationRun = std::max(m_orientationRun, 0) + 1;
            m_orientationAlong = m_orientationAlong || m_orientationRun >= kOrientationPairs;
        } else if (along < -kClear) {
            m_orientationRun = std::min(m_orientationRun, 0) - 1;
            m_orientationAgainst = m_orientationAgainst || -m_orientationRun >= kOrientationPairs;
        }
    }
    judge_touches();
}

void AxesSignJudge::orientation(double beta, double gamma, std::uint64_t at) {
    if (!std::isfinite(beta) || !std::isfinite(gamma))
        return;
    const double b = beta * std::numbers::pi / 180;
    const double g = gamma * std::numbers::pi / 180;
    // "Up" in the device's axes (W3C: beta about X, then gamma about Y).
    m_up[0] = -std::cos(b) * std::sin(g);
    m_up[1] = std::sin(b);
    m_up[2] = std::cos(b) * std::cos(g);
    m_orientationAt = at;
    m_haveOrientation = true;
}

void AxesSignJudge::touch(std::uint64_t at) {
    m_open.insert(std::upper_bound(m_open.begin(), m_open.end(), at), at);
    // Touches with no samples at all (no sensor) wait for none.
    if (m_open.size() > kMaxOpenTouches)
        m_open.erase(m_open.begin());
    judge_touches();
}

AxesSignJudge::Vote AxesSignJudge::vote_of(std::uint64_t at, std::uint64_t nextTouch, bool& done) const {
    done = false;
    // Motion that starts after the touch was granted by it: its first
    // samples describe the phone as it was held for the touch (or for the
    // answer to the browser's question, however long that took).
    const std::uint64_t after = m_anySample && m_firstSampleAt > at ? m_firstSampleAt : at;
    // A new touch ends the last one's window, agreed or not.
    const std::uint64_t end = std::min(after + kAfterTouch, nextTouch > at ? nextTouch - 1 : at);
    const std::uint64_t from = at > kBeforeTouch ? at - kBeforeTouch : 0;
    // The run of agreeing samples: the one that reaches the touch, or,
    // too short, the first after it that is long enough.
    Vote run;
    int length = 0;
    bool pastTouch = false;
    const auto agreed = [&] { return length >= kTouchSamples ? run : Vote{}; };
    const auto first = std::lower_bound(m_samples.begin(), m_samples.end(), from,
                                        [](const Sample& s, std::uint64_t t) { return s.at < t; });
    for (auto s = first; s != m_samples.end(); ++s) {
        if (s->at > end) {
            done = true;
            return pastTouch ? Vote{} : agreed();
        }
        if (!pastTouch && s->at > at) {
            // The samples before the touch are all in.
            pastTouch = true;
            if (length >= kTouchSamples) {
                done = true;
                return run;
            }
        }
        const Facing f = facing_of(s->y, s->z);
        if (f.sign == 0)
            continue;
        if (f.sign == run.sign && length > 0) {
            ++length;
            run.clear = run.clear && f.clear;
        } else {
            length = 1;
            run = {f.sign, f.clear};
        }
        if (pastTouch && length >= kTouchSamples) {
            done = true;
            return run;
        }
    }
    return {};
}

void AxesSignJudge::judge_touches() {
    for (std::size_t i = 0; i < m_open.size();) {
        const std::uint64_t next = i + 1 < m_open.size() ? m_open[i + 1] : std::numeric_limits<std::uint64_t>::max();
        bool done = false;
        const Vote vote = vote_of(m_open[i], next, done);
        if (!done) {
            ++i;
            continue;
        }
        if (vote.sign != 0)
            (vote.clear ? m_clear : m_weak).add(vote, m_open[i]);
        m_open.erase(m_open.begin() + static_cast<std::ptrdiff_t>(i));
    }
}

int AxesSignJudge::orientation_sign() const {
    // Along in one posture and against in another: beta or gamma in
    // another frame than the samples, no evidence at all.
    if (m_orientationAlong == m_orientationAgainst)
        return 0;
    return m_orientationAlong ? 1 : -1;
}

int AxesSignJudge::decided(bool& byOrientation) const {
    byOrientation = false;
    if (const int o = orientation_sign(); o != 0) {
        // Taps held as a performer holds them, persistently against it,
        // overrule it.
        const int against = o > 0 ? m_clear.flipped - m_clear.asRead : m_clear.asRead - m_clear.flipped;
        if (against < kOverruleOrientation) {
            byOrientation = true;
            return o;
        }
    }
    return deciding_tally().sign();
}

AxesSign AxesSignJudge::sign() const {
    if (m_fromAddress)
        return AxesSign::Address;
    bool byOrientation = false;
    const int s = decided(byOrientation);
    return s == 0 ? AxesSign::Undecided : s > 0 ? AxesSign::AsRead : AxesSign::Flipped;
}

std::string AxesSignJudge::words() const {
    if (m_fromAddress)
        return "SIGN SET BY ADDRESS";
    bool byOrientation = false;
    const int s = decided(byOrientation);
    if (s == 0)
        return "SIGN NOT YET KNOWN";
    const std::string which = s < 0 ? "SIGN FLIPPED" : "SIGN W3C";
    if (byOrientation)
        return which + " BY ORIENTATION";
    const Tally& t = deciding_tally();
    return which + " BY " + std::to_string(s < 0 ? t.flipped : t.asRead) + " OF " +
           std::to_string(t.asRead + t.flipped) + " TOUCHES";
}

} // namespace zt::web
