#ifndef WINDOWS_H
#define WINDOWS_H

class Body;
class Gui;
class JobRanking;
struct ComparisonOptions;
struct PlotView;

// The program's windows, wired to the manager: the main window, hidden with -noGui,
// and the plot window it opens. Both go when this goes. With a ranking, every job is fitted
// to the measured spectrum the plot window loads, and the windows show the fits.
class Windows
{
public:
    Windows(Body *body, bool showMainWindow, JobRanking *ranking = nullptr);
    ~Windows();
    Windows(const Windows &) = delete;
    Windows &operator=(const Windows &) = delete;

    Gui *mainWindow() const { return gui; }
    // The plot window's first view (the options -kweight, -space, -ft).
    void setPlotView(const PlotView &view);
    // The measured spectrum of -measured, read as the options say, with -measured-chi
    // written and -element ranked; what fails goes to the log.
    void loadMeasured(const ComparisonOptions &options);

private:
    Gui *gui = nullptr;
    JobRanking *ranking = nullptr;
};

#endif
