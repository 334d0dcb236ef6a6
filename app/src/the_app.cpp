// The one application object, built by static initialisation before main
// runs and destroyed at exit, after the host's loop has ended.
#include "app/app.h"

CZentrickApp theApp;
