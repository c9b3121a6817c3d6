#ifndef DEMETER_H
#define DEMETER_H

#include "job.h"
#include "ui_demeter.h"

#include <QFrame>
#include <QPersistentModelIndex>
#include <QPointer>

class QMenu;

// A job's row in the main window: its input, the status of its two programs, the
// buttons to rewrite feff.inp and to run FEFF again, its output areas and the Show box;
// its context menu opens the working folder, edits the converter options and stops or
// skips the job. It edits one row of a JobModel (or of a model over one) at a time: the
// list makes it the editor of the rows in view. Its questions and dialogs are
// window-modal and never block the event loop.
class Demeter : public QFrame, private Ui_Demeter
{
    Q_OBJECT

public:
    enum class Area { Atoms, Feff };

    explicit Demeter(QWidget *parent = nullptr);

    // Shows the row at index (or none); the row's output areas show that job's texts.
    void showRow(const QModelIndex &index);
    QModelIndex row() const { return shownRow; }
    Job *job() const { return shownJob; }
    // Which output areas show (their boxes are ticked); an area shown for the first
    // time since the row took its job is filled from the job's texts.
    void setAreasShown(bool atoms, bool feff);
    bool isAreaShown(Area area) const;
    // A marked row (the job of a curve clicked in the plot) stands out in a light tint.
    void setMarked(bool marked);

signals:
    // The user ticked or cleared a box of an output area.
    void areaToggled(Demeter::Area area, bool on);

private slots:
    void showResAtoms(bool f);
    void showResFeff(bool f);
    void setupFeffInpFile();
    void reStartFeff();
    void chooseColor();
    void editConverterOptions();

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The context menu for the job the row shows now.
    QMenu *makeContextMenu();
    void showTargetToolTip();
    void paintTargetName();
    void fitFieldsToTexts();
    void rowChanged(const QModelIndex &first, const QModelIndex &last, const QVector<int> &roles);
    void showStatus();
    void showFit();
    void showColor();
    void showShown();
    void fill(Area area);
    // The Atoms area's text for the job: the user's edit of it, else the job's text.
    QString atomsAreaText() const;
    void keepAtomsEdit();
    void setRowData(const QVariant &value, int role);
    void appendTo(Area area, const QString &text);

    QPointer<const QAbstractItemModel> rowModel;
    QPersistentModelIndex shownRow;
    QPointer<Job> shownJob;
    // The areas hold the job's texts (and follow its output) once shown.
    bool atomsFilled = false;
    bool feffFilled = false;
};

#endif
