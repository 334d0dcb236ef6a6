// CMzStringW: a wide buffer of fixed capacity.
#include "framework_internal.h"

#include <algorithm>

CMzStringW::CMzStringW(int capacity)
    : m_nCapacity(std::max(capacity, 0)),
      m_pBuffer(std::make_unique<WCHAR[]>(static_cast<std::size_t>(m_nCapacity) + 1)) {}

CMzStringW::CMzStringW(const CMzStringW& other) : CMzStringW(other.m_nCapacity) {
    std::copy_n(other.m_pBuffer.get(), m_nCapacity + 1, m_pBuffer.get());
}

CMzStringW& CMzStringW::operator=(const CMzStringW& other) {
    if (this != &other) {
        CMzStringW copy(other);
        m_nCapacity = copy.m_nCapacity;
        m_pBuffer = std::move(copy.m_pBuffer);
    }
    return *this;
}

CMzStringW::~CMzStringW() = default;

int CMzStringW::Length() const {
    // Bounded by the buffer, so a caller that overwrote the last NUL does not
    // send us past the end.
    const WCHAR* text = m_pBuffer.get();
    int n = 0;
    while (n < m_nCapacity && text[n] != 0)
        ++n;
    return n;
}
