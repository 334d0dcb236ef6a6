// The accelerometer client over the "ACC0:" stream driver.
#include "device/accelerometer.h"

HANDLE g_hAccDevice = INVALID_HANDLE_VALUE;
INT g_nAccOpenCount = 0;
UINT g_uAccMessageId = 0;

namespace {

const WCHAR* const kOpenFailedText = TEXT("[Acc Api] Open ACC0 failed err %d..........\n");
const WCHAR* const kCloseText = TEXT("[Acc Api] Close ACC0..........\n");
const WCHAR* const kNotOpenedText = TEXT("[Acc Api] ACC0 not opened..........\n");

// Controls report "not open" as the negated error code.
constexpr int kNotOpenResult = -static_cast<int>(ERROR_SERVICE_NOT_ACTIVE);

int ReadOneAxis(DWORD dwCode, signed char* pValue) {
    if (pValue == nullptr)
        return 0;
    if (g_hAccDevice == INVALID_HANDLE_VALUE) {
        NKDbgPrintfW(kNotOpenedText);
        return 0;
    }
    BYTE byValue = 0;
    DWORD dwReturned = 0;
    const BOOL bResult = DeviceIoControl(g_hAccDevice, dwCode, nullptr, 0, &byValue, 1, &dwReturned, nullptr);
    *pValue = bResult ? static_cast<signed char>(byValue) : 0;
    return bResult;
}

int SendControl(DWORD dwCode) {
    if (g_hAccDevice == INVALID_HANDLE_VALUE) {
        NKDbgPrintfW(kNotOpenedText);
        return kNotOpenResult;
    }
    return DeviceIoControl(g_hAccDevice, dwCode, nullptr, 0, nullptr, 0, nullptr, nullptr);
}

} // namespace

int AccOpen() {
    if (g_nAccOpenCount == 0) {
        g_hAccDevice = CreateFileW(ACC_DEVICE_NAME, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
        if (g_hAccDevice == INVALID_HANDLE_VALUE) {
            NKDbgPrintfW(kOpenFailedText, static_cast<int>(GetLastError()));
            return 0;
        }
    }
    if (g_uAccMessageId == 0) {
        g_uAccMessageId = RegisterWindowMessageW(TEXT("AccMessage"));
        // The driver only learns the id; whether it took it does not matter here.
        DeviceIoControl(g_hAccDevice, IOCTL_ACC_SET_MESSAGE, &g_uAccMessageId, sizeof(g_uAccMessageId), nullptr, 0,
                        nullptr, nullptr);
    }
    ++g_nAccOpenCount;
    return 1;
}

void AccClose() {
    if (g_hAccDevice == INVALID_HANDLE_VALUE) {
        NKDbgPrintfW(kOpenFailedText, static_cast<int>(GetLastError()));
        return;
    }
    g_nAccOpenCount = g_nAccOpenCount - 1;
    if (g_nAccOpenCount > 0)
        return;
    NKDbgPrintfW(kCloseText);
    g_nAccOpenCount = 0;
    CloseHandle(g_hAccDevice);
    g_hAccDevice = INVALID_HANDLE_VALUE;
    g_uAccMessageId = 0;
}

int AccGetX(signed char* pX) {
    return ReadOneAxis(IOCTL_ACC_GET_X, pX);
}

int AccGetY(signed char* pY) {
    return ReadOneAxis(IOCTL_ACC_GET_Y, pY);
}

int AccGetZ(signed char* pZ) {
    return ReadOneAxis(IOCTL_ACC_GET_Z, pZ);
}

int AccGetXYZ(signed char* pX, signed char* pY, signed char* pZ) {
    if (pX == nullptr || pY == nullptr || pZ == nullptr)
        return 0;
    if (g_hAccDevice == INVALID_HANDLE_VALUE) {
        NKDbgPrintfW(kNotOpenedText);
        return 0;
    }
    // Cleared first, like the single-axis reads: a driver that reports
    // success with fewer than three bytes must not hand out stack contents.
    BYTE abyValues[3] = {0, 0, 0};
    DWORD dwReturned = 0;
    const BOOL bResult = DeviceIoControl(g_hAccDevice, IOCTL_ACC_GET_XYZ, nullptr, 0, abyValues, sizeof(abyValues),
                                         &dwReturned, nullptr);
    *pX = bResult ? static_cast<signed char>(abyValues[0]) : 0;
    *pY = bResult ? static_cast<signed char>(abyValues[1]) : 0;
    *pZ = bResult ? static_cast<signed char>(abyValues[2]) : 0;
    return bResult;
}

int AccControl6() {
    return SendControl(IOCTL_ACC_CONTROL_6);
}

int AccControl7() {
    return SendControl(IOCTL_ACC_CONTROL_7);
}

UINT AccGetMessageId() {
    if (g_hAccDevice == INVALID_HANDLE_VALUE) {
        SetLastError(ERROR_SERVICE_NOT_ACTIVE);
        return 0;
    }
    return g_uAccMessageId;
}
