// The application object: owns the main window from static initialisation
// to process exit.
#pragma once

#include "ui/main_wnd.h"
#include "zt/framework.h"

class CZentrickApp : public CMzApp {
  public:
    ~CZentrickApp() override = default;
    BOOL Init() override;

    CZentrickMainWnd m_MainWnd;
};
