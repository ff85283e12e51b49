#pragma once
// CRavlinApp: the application object. InitInstance sets the application icon and the message
// boxes up, runs the main dialog modally and returns false: when the dialog ends, the
// application ends.

class CRavlinApp {
public:
    CRavlinApp() = default;
    bool InitInstance();
};

extern CRavlinApp theApp;

// Makes the icon resources available and sets the application icon; safe to call again.
void InitRavlinResources();
