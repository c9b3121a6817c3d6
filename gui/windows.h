#ifndef WINDOWS_H
#define WINDOWS_H

class Body;
class Gui;

// The program's windows, wired to the manager: the main window, hidden with -noGui,
// and the plot window it opens. Both go when this goes.
class Windows
{
public:
    Windows(Body *body, bool showMainWindow);
    ~Windows();
    Windows(const Windows &) = delete;
    Windows &operator=(const Windows &) = delete;

    Gui *mainWindow() const { return gui; }

private:
    Gui *gui = nullptr;
};

#endif
