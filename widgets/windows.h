#ifndef WINDOWS_H
#define WINDOWS_H

class Body;
class Gui;
struct PlotView;

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
    // The plot window's first view (the options -kweight, -space, -ft).
    void setPlotView(const PlotView &view);

private:
    Gui *gui = nullptr;
};

#endif
