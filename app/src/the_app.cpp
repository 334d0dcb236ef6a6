// The one application object, built by static initialisation before the
// framework's WinMain runs and destroyed after it returns.
#include "app/app.h"

CZentrickApp theApp;
