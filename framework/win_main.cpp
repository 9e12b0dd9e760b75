// The Windows entry point of a program built on the framework.
#include <windows.h>

#include "framework/win_app.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return RunApplication(); }
