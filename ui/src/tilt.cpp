// The 10 ms tick: read the accelerometer and latch the suit that the next
// forced card uses.
#include "device/accelerometer.h"
#include "trick/trick.h"
#include "ui/main_wnd.h"

void CZentrickMainWnd::OnTimer(UINT_PTR nIDEvent) {
    if (nIDEvent != TILT_TIMER_ID)
        return;
    AccGetXYZ(&m_cAccX, &m_cAccY, &m_cAccZ);
    m_bFaceUp = m_cAccZ > 0 ? 1 : 0;
    if (m_bFaceUp != 1)
        return;
    AccGetXYZ(&m_cAccX, &m_cAccY, &m_cAccZ);
    AccGetX(&m_cAccX);
    AccGetY(&m_cAccY);
    AccGetZ(&m_cAccZ);
    if (m_cAccZ <= 0)
        return;
    m_nTiltSuit = TrickTiltSuit(m_cAccX, m_cAccY, m_nTiltSuit);
}
