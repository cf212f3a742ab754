// The program's entry: the one application object runs.
#include "framework/App.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR cmdLine, int cmdShow) {
    fw::App* app = fw::App::Current();
    return app ? app->WinMain(instance, cmdLine, cmdShow) : 1;
}
