#include "axes_sign.h"

#include "zt/drivers/accelerometer.h"

#include <algorithm>
#include <cmath>
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

// +1: the sample faces the performer as read; -1: negated; 0: neither.
int facing_sign(double y, double z) {
    const double g = drivers::kStandardGravity;
    const bool asRead = facing(y / g, z / g) > kClear;
    const bool negated = facing(-y / g, -z / g) > kClear;
    return asRead == negated ? 0 : asRead ? 1 : -1;
}

} // namespace

void AxesSignJudge::motion(double x, double y, double z, std::uint64_t at) {
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z))
        return;
    const Sample s{x, y, z, at};
    m_recent[m_recentNext] = s;
    m_recentNext = (m_recentNext + 1) % m_recent.size();
    m_recentCount = std::min(m_recentCount + 1, m_recent.size());

    // Against the orientation's "up", if it is as fresh as the sample.
    const double length = std::sqrt(x * x + y * y + z * z);
    if (m_haveOrientation && at <= m_orientationAt + kPairWithin && length > drivers::kStandardGravity / 2) {
        const double along = (x * m_up[0] + y * m_up[1] + z * m_up[2]) / length;
        if (along > kClear)
            ++m_orientationTally;
        else if (along < -kClear)
            --m_orientationTally;
    }

    if (!m_window.open)
        return;
    if (at > m_window.end) {
        // Too few samples agreed (or motion came too late): the touch says
        // nothing.
        m_window.open = false;
        return;
    }
    if (m_window.awaitingMotion) {
        // Motion that starts after the touch was granted by it: the first
        // samples describe the phone as it was held for the touch.
        m_window.awaitingMotion = false;
        m_window.end = at + kAfterTouch;
    }
    count(s);
    vote_if_agreed();
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
    // A new touch ends the last one's window, agreed or not.
    m_window = Window{};
    m_window.open = true;
    if (m_recentCount == 0) {
        m_window.awaitingMotion = true;
        m_window.end = at + kFirstMotionAfterTouch;
        return;
    }
    m_window.end = at + kAfterTouch;
    // The phone was held the same way just before the finger came down.
    // Oldest first: the run that counts is the one that reaches the touch.
    const std::size_t oldest = (m_recentNext + m_recent.size() - m_recentCount) % m_recent.size();
    for (std::size_t i = 0; i < m_recentCount; ++i) {
        const Sample& s = m_recent[(oldest + i) % m_recent.size()];
        if (s.at + kBeforeTouch >= at && s.at <= at)
            count(s);
    }
    vote_if_agreed();
}

void AxesSignJudge::count(const Sample& s) {
    const int sign = facing_sign(s.y, s.z);
    if (sign == 0)
        return;
    // The samples nearest the touch count: a phone turned face up just
    // before it starts a new run.
    m_window.run = sign == m_window.runSign ? m_window.run + 1 : 1;
    m_window.runSign = sign;
}

void AxesSignJudge::vote_if_agreed() {
    if (m_window.run < kTouchSamples)
        return;
    if (m_window.runSign > 0) {
        ++m_votesAsRead;
        m_lastVote = AxesSign::AsRead;
    } else {
        ++m_votesFlipped;
        m_lastVote = AxesSign::Flipped;
    }
    m_window.open = false;
}

AxesSign AxesSignJudge::sign() const {
    if (m_fromAddress)
        return AxesSign::Address;
    if (orientation_decides())
        return m_orientationTally > 0 ? AxesSign::AsRead : AxesSign::Flipped;
    if (m_votesAsRead != m_votesFlipped)
        return m_votesAsRead > m_votesFlipped ? AxesSign::AsRead : AxesSign::Flipped;
    return m_lastVote;
}

std::string AxesSignJudge::words() const {
    const AxesSign decided = sign();
    if (decided == AxesSign::Address)
        return "SIGN SET BY ADDRESS";
    if (decided == AxesSign::Undecided)
        return "SIGN NOT YET KNOWN";
    const bool flipped = decided == AxesSign::Flipped;
    const std::string which = flipped ? "SIGN FLIPPED" : "SIGN W3C";
    if (orientation_decides())
        return which + " BY ORIENTATION";
    return which + " BY " + std::to_string(flipped ? m_votesFlipped : m_votesAsRead) + " OF " +
           std::to_string(m_votesAsRead + m_votesFlipped) + " TOUCHES";
}

} // namespace zt::web
