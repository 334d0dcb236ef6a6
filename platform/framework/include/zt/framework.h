// The phone's UI framework as the application sees it: the process entry,
// the application and window base classes, drawable elements and the small
// drawing utilities.
//
// A window is a CMzWnd whose messages all pass through the virtual
// MzDefWndProc; the base procedure turns them into the On* handlers. A
// CMzWndEx also paints a list of elements (UiWin), in the order they were
// attached, later ones over earlier ones. Invalidate marks the window dirty
// and the message loop paints it; UpdateWindow paints at once.
#pragma once

#include "zt/platform.h"

#include <memory>
#include <vector>

namespace zt::gfx {
class Surface;
}
namespace zt::fw {
struct Image;
}

// ---------------------------------------------------------------------------
// Process entry and the application object
// ---------------------------------------------------------------------------

// Calls Init of the application object once, then Run; returns the exit code
// (WM_QUIT's wParam). When there is no application object or Init returns 0,
// the loop is skipped and the result is nonzero. The phone's entry point;
// the hosts run the same start, loop and end in steps (below).
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int showCommand);

// Exit code of WinMain when the application could not start.
constexpr int MZ_EXIT_INIT_FAILED = 1;

// WinMain in steps, as every host runs it through the hosts' core
// (zt/host/core.h): the same start, loop and end, a turn at a time.
// MzStartApp does what WinMain does before the loop; FALSE means the
// application could not start (Done has run). Each MzRunWaitingMessages then
// handles every message already waiting, as Run's loop does, and returns
// FALSE once WM_QUIT has come: Done has run and *exitCode is WM_QUIT's wParam.
BOOL MzStartApp();
BOOL MzRunWaitingMessages(int* exitCode);

class CMzApp {
  public:
    // The first application object constructed becomes the process's one
    // application object, which WinMain (or a host, in steps) starts. Its
    // destruction at exit tells the host (zt::host::application_gone).
    CMzApp();
    virtual ~CMzApp();
    CMzApp(const CMzApp&) = delete;
    CMzApp& operator=(const CMzApp&) = delete;

    // Creates the application's windows; 0 means the application cannot run.
    virtual BOOL Init();
    // The message loop; returns WM_QUIT's wParam.
    virtual int Run();
    // Called once the loop has ended (or after a failed Init).
    virtual void Done();
    // Sees every message the loop takes before it is dispatched; nonzero
    // means the message was handled and is not dispatched.
    virtual BOOL PreTranslateMessage(MSG* msg);

    // The process's application object, or null.
    static CMzApp* GetApp();
};

// The module whose resources hold the application's images.
HINSTANCE MzGetInstanceHandle();

// ---------------------------------------------------------------------------
// Windows
// ---------------------------------------------------------------------------

class CMzWnd {
  public:
    CMzWnd();
    CMzWnd(const CMzWnd&) = delete;
    CMzWnd& operator=(const CMzWnd&) = delete;

    // The class the window is registered and created with.
    virtual LPCWSTR GetWindowClassName();
    // Destroys the window if it still exists; the object no longer sees its
    // messages by then.
    virtual ~CMzWnd();
    // Every message of the window passes through here. The base procedure
    // calls the handlers below and leaves the rest to DefWindowProcW.
    virtual LRESULT MzDefWndProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual void OnLButtonDblClk(UINT fwKeys, int xPos, int yPos);
    virtual void OnLButtonDown(UINT fwKeys, int xPos, int yPos);
    virtual void OnLButtonUp(UINT fwKeys, int xPos, int yPos);
    virtual void OnMouseMove(UINT fwKeys, int xPos, int yPos);
    virtual void OnTimer(UINT_PTR nIDEvent);
    virtual void OnSize(int nWidth, int nHeight);
    virtual void OnSettingChange(WPARAM wFlag, LPARAM lParam);
    // Registers GetWindowClassName's class (once per process).
    virtual BOOL MzRegisterClass();
    // Creates the window; OnInitDialog runs during creation and a 0 from it
    // makes Create fail, the window destroyed.
    virtual BOOL Create(int xPos, int yPos, int width, int height, HWND hwndParent = NULL, int uID = 0, DWORD style = 0,
                        DWORD exstyle = 0);
    // A popup owned by `hwndParent`, for DoModal.
    virtual BOOL CreateModalDialog(int xPos, int yPos, int width, int height, HWND hwndParent);
    // A visible child of `hwndParent`.
    virtual BOOL CreateChildWindow(int xPos, int yPos, int width, int height, HWND hwndParent, int uID = 0);
    // Shows the window and runs the messages until EndModal or the window's
    // end; returns EndModal's code (0 when the window went otherwise). A
    // WM_QUIT met on the way is put back for the outer loop.
    virtual int DoModal();
    // WM_PAINT: BeginPaint, PaintWin over the update rectangle, EndPaint
    // (which hands the finished frame to the host).
    virtual void OnPaint();
    // Paints the window's content inside `prcUpdate` (window coordinates).
    virtual void PaintWin(HDC hdcDst, RECT* prcUpdate);
    // Called just before the window's handle is made.
    virtual void PreSubClassWindow();
    // WM_COMMAND arrives here first; the base passes it to OnCommand.
    // Nonzero: handled.
    virtual BOOL OnMzCommand(WPARAM wParam, LPARAM lParam);
    // Called during Create (on WM_CREATE); 0 makes the creation fail.
    virtual BOOL OnInitDialog();
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    // The shell's home key (WM_KEYDOWN of the Home key); nonzero: handled.
    virtual BOOL OnShellHomeKey(UINT message, WPARAM wParam, LPARAM lParam);
    // A new bitmap with a copy of the window's pixels inside `rect` (window
    // coordinates, clipped to the window); the caller deletes it. Null when
    // there is no window or nothing of the rectangle lies inside it.
    virtual HBITMAP GetWindowBitmap(RECT rect);
    // The same for the whole window.
    virtual HBITMAP GetWindowBitmap();

    // Asks the host to show or hide the window with animation `type`; the
    // window is shown (or hidden) when it returns.
    BOOL AnimateWindow(int type, bool show);
    // Shows or hides the window; `update` paints it at once.
    BOOL Show(bool show, bool update);
    int GetWidth();
    int GetHeight();
    // The client rectangle (0, 0, width, height); all 0 without a window.
    RECT MzGetClientRect();
    // Marks `rect` (null: the whole window) for painting by the message loop.
    BOOL Invalidate(const RECT* rect = NULL, BOOL erase = 0);
    // Paints what is marked, now.
    BOOL UpdateWindow();
    // Ends DoModal with `result`.
    void EndModal(int result);

    HWND m_hWnd = nullptr;

  private:
    friend struct CMzWndAccess;
    bool m_bInModal = false;
    bool m_bEndModal = false;
    int m_nModalResult = 0;
};

class UiWin;

// A window that paints a list of elements.
class CMzWndEx : public CMzWnd {
  public:
    CMzWndEx();
    ~CMzWndEx() override;

    // Invalidates the whole window: elements may depend on its size.
    void OnSize(int nWidth, int nHeight) override;
    // Paints the attached elements in attachment order, later over earlier;
    // what a later element covers completely is not painted underneath.
    void PaintWin(HDC hdcDst, RECT* prcUpdate) override;

    // Attaches an element (once; null is ignored). The element is not owned;
    // an element that is destroyed first detaches itself.
    void AddUiWin(UiWin* pWin);
    void RemoveUiWin(UiWin* pWin);

  private:
    std::vector<UiWin*> m_uiWins;
};

// ---------------------------------------------------------------------------
// Elements
// ---------------------------------------------------------------------------

class UiWin {
  public:
    UiWin();
    virtual ~UiWin();
    UiWin(const UiWin&) = delete;
    UiWin& operator=(const UiWin&) = delete;

    // Position and size in window pixels; a size of 0x0 (or negative) hides
    // the element. `flags` is kept for the caller.
    virtual void SetPos(int x, int y, int w, int h, UINT flags = 0);
    // Paints the element into `hdcDst` (the window's DC), inside `rcClip`.
    virtual void PaintWin(HDC hdcDst, const RECT& rcClip);
    // The part of the window the element's painting replaces completely
    // (every pixel written, nothing of what lies below showing through), if
    // any. The window then skips painting earlier elements there.
    virtual bool GetOpaqueRect(RECT& rc);

    int GetPosX() const { return m_nPosX; }
    int GetPosY() const { return m_nPosY; }
    int GetWidth() const { return m_nWidth; }
    int GetHeight() const { return m_nHeight; }
    UINT GetPosFlags() const { return m_nPosFlags; }
    // The window the element is attached to, or null.
    CMzWndEx* GetParentWnd() const { return m_pParent; }

  protected:
    // The element's rectangle clipped by `rcClip`; false when nothing is left.
    bool VisibleRect(const RECT& rcClip, RECT& out) const;

  private:
    friend class CMzWndEx;
    int m_nPosX = 0;
    int m_nPosY = 0;
    int m_nWidth = 0;
    int m_nHeight = 0;
    UINT m_nPosFlags = 0;
    CMzWndEx* m_pParent = nullptr;
};

// Paint modes of UiPicture.
constexpr int MZ_PAINTMODE_NORMAL = 0;  // the image at its own size, top left
constexpr int MZ_PAINTMODE_STRETCH = 1; // the image scaled to the element

// An image from the program's resources. Images with transparency are
// blended over what lies below; a scaled image is scaled once per size and
// kept.
class UiPicture : public UiWin {
  public:
    UiPicture();
    ~UiPicture() override;

    void SetPaintMode(int mode) { m_nPaintMode = mode; }
    int GetPaintMode() const { return m_nPaintMode; }
    // Loads and decodes a PNG resource. `useCache` shares one decoded copy
    // among every picture loading the same resource. On failure the picture
    // keeps its previous image and the last error says why.
    BOOL LoadImageW(HINSTANCE instance, UINT type, UINT id, bool useCache);
    // Size of the loaded image, 0 when none.
    int GetImageWidth() const;
    int GetImageHeight() const;

    void PaintWin(HDC hdcDst, const RECT& rcClip) override;
    bool GetOpaqueRect(RECT& rc) override;

  private:
    int m_nPaintMode = MZ_PAINTMODE_NORMAL;
    std::shared_ptr<zt::fw::Image> m_image;
};

// An off-screen surface with its own DC.
class MemoryDC {
  public:
    MemoryDC();
    ~MemoryDC();
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;

    // Makes (or remakes) a width x height surface, opaque black, with a DC
    // compatible with `reference` (null: the screen).
    BOOL Create(int width, int height, HDC reference = NULL);
    // Null until Create succeeds.
    HDC GetDC() const { return m_hDC; }
    int GetWidth() const { return m_nWidth; }
    int GetHeight() const { return m_nHeight; }
    void Release();

  private:
    HDC m_hDC = nullptr;
    HBITMAP m_hBitmap = nullptr;
    HGDIOBJ m_hOldBitmap = nullptr;
    int m_nWidth = 0;
    int m_nHeight = 0;
};

// An element showing its own off-screen surface, copied as it is.
class UiCanvas : public UiWin {
  public:
    UiCanvas();
    ~UiCanvas() override;

    void PaintWin(HDC hdcDst, const RECT& rcClip) override;
    bool GetOpaqueRect(RECT& rc) override;

    MemoryDC m_dcCanvas;
};

// Renders a resource image into its own DC at (0, 0), pixel for pixel.
class ImagingHelper {
  public:
    ImagingHelper();
    virtual ~ImagingHelper();
    ImagingHelper(const ImagingHelper&) = delete;
    ImagingHelper& operator=(const ImagingHelper&) = delete;

    // `useCache`: share the decoded image with other users of the resource.
    // `overWhite`: composite transparent ground over white (else the pixels
    // are kept with their alpha). `reuseDC`: draw into the present DC when
    // it has the image's size. On failure the previous image stays.
    bool LoadImageFromRes(HINSTANCE instance, UINT type, UINT id, bool useCache, bool overWhite, bool reuseDC);
    // Null until an image is loaded.
    HDC GetDC() const { return m_dc.GetDC(); }
    int GetImageWidth() const { return m_dc.GetWidth(); }
    int GetImageHeight() const { return m_dc.GetHeight(); }

  private:
    MemoryDC m_dc;
};

class FontHelper {
  public:
    // A font of `height` pixels and `weight`, made once per request and kept
    // for the life of the process: callers select it and never delete it.
    static HFONT GetFont(LONG height, LONG weight, LONG width = 0, BOOL italic = FALSE, BOOL underline = FALSE,
                         BOOL strikeOut = FALSE);
};

// A wide string buffer with a fixed capacity.
class CMzStringW {
  public:
    // Room for at least `capacity` characters and a terminating NUL; starts
    // empty. A negative capacity counts as 0.
    explicit CMzStringW(int capacity = 0);
    CMzStringW(const CMzStringW& other);
    CMzStringW& operator=(const CMzStringW& other);
    ~CMzStringW();

    // The writable buffer (capacity + 1 characters, always NUL-terminated
    // at the end).
    WCHAR* C_Str() { return m_pBuffer.get(); }
    const WCHAR* C_Str() const { return m_pBuffer.get(); }
    // Characters before the first NUL.
    int Length() const;
    int GetBufferSize() const { return m_nCapacity; }

  private:
    int m_nCapacity = 0;
    std::unique_ptr<WCHAR[]> m_pBuffer;
};
