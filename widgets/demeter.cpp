#include "demeter.h"

#include "job.h"
#include "jobmodel.h"
#include "textappend.h"

#include <QPainter>
#include <QPushButton>
#include <QStyleOptionFrame>

namespace {

const char *const startingStyle = "background-color: rgb(255, 255, 128);";
const char *const runningStyle = "background-color: rgb(96, 255, 181);";
const char *const stoppedStyle = "background-color: rgb(213, 230, 255);";
const char *const failedStyle = "background-color: rgb(255, 204, 204);";
// Finished, but with something to read first: FEFF warned, or a fit ended at a bound.
const char *const warnedStyle = "background-color: rgb(255, 245, 170);";

const char *styleOf(Job::Status status)
{
    switch (status) {
    case Job::Status::Starting:
        return startingStyle;
    case Job::Status::Running:
        return runningStyle;
    case Job::Status::Failed:
        return failedStyle;
    case Job::Status::NotRunning:
    case Job::Status::Finished:
        break;
    }
    return stoppedStyle;
}

// Style sheets are parsed anew on every change: a row shown for another job changes
// only what differs.
void setStatus(QLineEdit *field, const QString &text, const char *style)
{
    if (field->text() != text)
        field->setText(text);
    const QString sheet = QString::fromLatin1(style);
    if (field->styleSheet() != sheet)
        field->setStyleSheet(sheet);
}

template <class Area> void fillUnrecorded(Area *area, const QString &text)
{
    area->setPlainText(text);
    area->moveCursor(QTextCursor::End);
}

} // namespace

Demeter::Demeter(QWidget *parent)
    : QFrame(parent)
{
    setupUi(this);
    fitFieldsToTexts();
    // FEFF's output area keeps the last lines, as a terminal does: a run that floods it
    // would otherwise make every insertion lay out millions of lines. A plain text area lays
    // out only the lines in view; a rich one laid out every line as it arrived.
    ResFeff->document()->setMaximumBlockCount(Job::feffLinesKept());
    // FEFF's output is a record of its run; the Atoms area stays editable: it is the
    // feff.inp editor.
    ResFeff->setReadOnly(true);
    ResFeff->setUndoRedoEnabled(false);
    setStatus(
        AtomsStat, Job::statusText(Job::Program::Atoms, Job::Status::NotRunning), stoppedStyle);
    setStatus(FeffStat, Job::statusText(Job::Program::Feff, Job::Status::NotRunning), stoppedStyle);

    connect(Show, &QCheckBox::toggled, this,
        [this](bool on) { setRowData(on ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole); });
    ResAtoms->setVisible(ShowResAtoms->isChecked());
    ResFeff->setVisible(ShowResFeff->isChecked());
    connect(ShowResAtoms, &QCheckBox::toggled, this, &Demeter::showResAtoms);
    connect(ShowResFeff, &QCheckBox::toggled, this, &Demeter::showResFeff);
    connect(ShowResAtoms, &QCheckBox::toggled, this,
        [this](bool on) { emit areaToggled(Area::Atoms, on); });
    connect(ShowResFeff, &QCheckBox::toggled, this,
        [this](bool on) { emit areaToggled(Area::Feff, on); });
    connect(SaveFeffInp, &QPushButton::clicked, this, &Demeter::setupFeffInpFile);
    connect(FeffRestart, &QPushButton::clicked, this, &Demeter::reStartFeff);
    connect(ColorSel, &QPushButton::clicked, this, &Demeter::chooseColor);
    // A right click anywhere on the top line is the row's: its fields and buttons defer
    // to it.
    for (QWidget *child : frame->findChildren<QWidget *>())
        child->setContextMenuPolicy(Qt::NoContextMenu);
    TargetName->installEventFilter(this);
}

// The form's widths (80 pixels for a status, 45 for "Color") suit a compact Windows font;
// with wider fonts, or in a narrow window, a status would be cut to a misleading
// "Running" or "Finished". The fields keep the room their longest text needs.
void Demeter::fitFieldsToTexts()
{
    // Every row has the same font and language: measure once, for the first row.
    struct Widths
    {
        QString key;
        int status = 0;
        int color = 0;
        int target = 0;
        int fit = 0;
    };
    static Widths widths;
    const QString key = AtomsStat->font().key() + tr("A. Not Running");
    if (widths.key != key) {
        int widest = 0;
        for (Job::Program program : { Job::Program::Atoms, Job::Program::Feff })
            for (Job::Status status : { Job::Status::NotRunning, Job::Status::Starting,
                     Job::Status::Running, Job::Status::Finished })
                widest = qMax(widest,
                    AtomsStat->fontMetrics().horizontalAdvance(Job::statusText(program, status)));
        // The progress of a job of several FEFF inputs, up to hundreds of runs, and the
        // end of a job skipped or stopped.
        for (const QString &text :
            { tr("F. Running %1/%2").arg(888).arg(888), JobModel::endText(Job::Outcome::Skipped),
                JobModel::endText(Job::Outcome::Stopped) })
            widest = qMax(widest, AtomsStat->fontMetrics().horizontalAdvance(text));
        QStyleOptionFrame option;
        option.initFrom(AtomsStat);
        option.lineWidth
            = AtomsStat->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, AtomsStat);
        auto fieldWidth = [this, &option](int textWidth) {
            return AtomsStat->style()
                ->sizeFromContents(QStyle::CT_LineEdit, &option,
                    QSize(textWidth + 4, AtomsStat->sizeHint().height()), AtomsStat)
                .width();
        };
        widths.status = fieldWidth(widest);
        // The fit field: a rank among thousands, or why there is none.
        int widestFit = 0;
        for (const QString &text : { tr("#%1 R %2").arg(88888).arg(0.888, 0, 'f', 3),
                 tr("other absorber"), tr("fit failed"), tr("fitting…") })
            widestFit = qMax(widestFit, FitStat->fontMetrics().horizontalAdvance(text));
        widths.fit = fieldWidth(widestFit);
        widths.color = ColorSel->fontMetrics().horizontalAdvance(ColorSel->text())
            + 2 * ColorSel->style()->pixelMetric(QStyle::PM_ButtonMargin) + 4;
        // Room for the row's number and the input's name, its beginning and its end,
        // however narrow the window.
        widths.target = TargetName->fontMetrics().horizontalAdvance(QLatin1Char('x')) * 32;
        widths.key = key;
    }
    for (QLineEdit *field : { AtomsStat, FeffStat }) {
        field->setMaximumWidth(qMax(field->maximumWidth(), widths.status));
        field->setMinimumWidth(qMin(field->maximumWidth(), widths.status));
    }
    FitStat->setMinimumWidth(widths.fit);
    FitStat->setMaximumWidth(widths.fit);
    ColorSel->setMaximumWidth(qMax(ColorSel->maximumWidth(), widths.color));
    ColorSel->setMinimumWidth(qMin(ColorSel->maximumWidth(), widths.color));
    TargetName->setMinimumWidth(widths.target);
}

void Demeter::showRow(const QModelIndex &index)
{
    Job *job = index.data(JobModel::JobRole).value<Job *>();
    if (index.model() != rowModel) {
        if (rowModel)
            disconnect(rowModel, nullptr, this, nullptr);
        rowModel = index.model();
        if (rowModel)
            connect(rowModel, &QAbstractItemModel::dataChanged, this, &Demeter::rowChanged);
    }
    if (job == shownJob && job) {
        shownRow = index;
        return;
    }
    keepAtomsEdit();
    if (shownJob)
        disconnect(shownJob, nullptr, this, nullptr);
    shownRow = index;
    shownJob = job;
    atomsFilled = false;
    feffFilled = false;
    ResAtoms->clear();
    ResFeff->clear();
    if (!job) {
        TargetName->clear();
        return;
    }

    TargetName->setText(job->inputPath());
    TargetName->end(false);
    showTargetToolTip();
    showStatus();
    showFit();
    showColor();
    showShown();

    connect(
        job, &Job::atomsOutput, this, [this](const QString &text) { appendTo(Area::Atoms, text); });
    connect(
        job, &Job::feffOutput, this, [this](const QString &text) { appendTo(Area::Feff, text); });
    connect(job, &Job::feffOutputCleared, this, [this] {
        if (feffFilled)
            ResFeff->clear();
    });
    connect(job, &Job::atomsOutputCleared, this, [this] {
        if (atomsFilled)
            ResAtoms->clear();
    });
    if (ShowResAtoms->isChecked())
        fill(Area::Atoms);
    if (ShowResFeff->isChecked())
        fill(Area::Feff);
}

void Demeter::setAreasShown(bool atoms, bool feff)
{
    {
        const QSignalBlocker atomsBlocker(ShowResAtoms);
        const QSignalBlocker feffBlocker(ShowResFeff);
        ShowResAtoms->setChecked(atoms);
        ShowResFeff->setChecked(feff);
    }
    showResAtoms(atoms);
    showResFeff(feff);
}

bool Demeter::isAreaShown(Area area) const
{
    return (area == Area::Atoms ? ShowResAtoms : ShowResFeff)->isChecked();
}

void Demeter::setMarked(bool marked)
{
    if (marked == autoFillBackground())
        return;
    if (marked) {
        // A light tint of the highlight colour, under which the row's texts stay readable.
        QPalette tinted = palette();
        const QColor mark = palette().color(QPalette::Highlight);
        const QColor base = palette().color(QPalette::Window);
        tinted.setColor(QPalette::Window,
            QColor((mark.red() + 2 * base.red()) / 3, (mark.green() + 2 * base.green()) / 3,
                (mark.blue() + 2 * base.blue()) / 3));
        setPalette(tinted);
    } else {
        setPalette(QPalette());
    }
    setAutoFillBackground(marked);
}

void Demeter::rowChanged(
    const QModelIndex &first, const QModelIndex &last, const QVector<int> &roles)
{
    if (!shownJob || !shownRow.isValid() || first.parent() != shownRow.parent()
        || shownRow.row() < first.row() || shownRow.row() > last.row())
        return;
    auto has = [&roles](int role) { return roles.isEmpty() || roles.contains(role); };
    if (has(JobModel::AtomsStatusRole) || has(JobModel::FeffStatusRole)
        || has(JobModel::FeffWarningsRole))
        showStatus();
    if (has(JobModel::FitTextRole) || has(JobModel::AbsorberRole)) {
        showFit();
        showTargetToolTip();
    }
    if (has(JobModel::ColorRole))
        showColor();
    if (has(Qt::CheckStateRole))
        showShown();
}

void Demeter::showStatus()
{
    const auto atoms = Job::Status(shownRow.data(JobModel::AtomsStatusRole).toInt());
    const auto feff = Job::Status(shownRow.data(JobModel::FeffStatusRole).toInt());
    setStatus(AtomsStat, shownRow.data(JobModel::AtomsTextRole).toString(), styleOf(atoms));
    setStatus(FeffStat, shownRow.data(JobModel::FeffTextRole).toString(), styleOf(feff));
    // A failed program's field tells why, as the log said it.
    const QString reason = shownRow.data(JobModel::FailureReasonRole).toString();
    AtomsStat->setToolTip(atoms == Job::Status::Failed ? reason : QString());
    FeffStat->setToolTip(feff == Job::Status::Failed ? reason : QString());
    // A run that gave chi data although FEFF warned reads "F. Finished" on light yellow;
    // the warnings are in the tooltip.
    const QStringList warnings = shownRow.data(JobModel::FeffWarningsRole).toStringList();
    if (!warnings.isEmpty()) {
        setStatus(FeffStat, FeffStat->text(), warnedStyle);
        FeffStat->setToolTip(warnings.join(QLatin1Char('\n')));
    }
}

void Demeter::showFit()
{
    const auto status = RankStatus(shownRow.data(JobModel::RankStatusRole).toInt());
    const char *style = stoppedStyle;
    if (status == RankStatus::FitFailed)
        style = failedStyle;
    else if (status == RankStatus::Ranked
        && !shownRow.data(JobModel::AtBoundRole).toStringList().isEmpty())
        style = warnedStyle;
    // Without a measured spectrum there is no fit to tell: the field goes.
    const QVariant text = shownRow.data(JobModel::FitTextRole);
    FitStat->setVisible(text.isValid());
    setStatus(FitStat, text.toString(), style);
    FitStat->setToolTip(shownRow.data(JobModel::FitToolTipRole).toString());
}

void Demeter::showColor()
{
    // Until the row has a colour, the swatch keeps its own.
    const quint32 colour = shownRow.data(JobModel::ColorRole).toUInt();
    if (colour != 0)
        ColorDisp->bgColor = QColor::fromRgba(colour);
    ColorDisp->update();
}

void Demeter::showShown()
{
    const QSignalBlocker blocker(Show);
    Show->setChecked(shownRow.data(Qt::CheckStateRole).toInt() == Qt::Checked);
}

void Demeter::setRowData(const QVariant &value, int role)
{
    if (shownJob && shownRow.isValid())
        const_cast<QAbstractItemModel *>(shownRow.model())->setData(shownRow, value, role);
}

void Demeter::showResAtoms(bool f)
{
    if (f) {
        fill(Area::Atoms);
    } else if (atomsFilled) {
        // A hidden area keeps nothing: the job holds the text and any edit of it.
        keepAtomsEdit();
        ResAtoms->clear();
        atomsFilled = false;
    }
    ResAtoms->setVisible(f);
}

void Demeter::showResFeff(bool f)
{
    if (f) {
        fill(Area::Feff);
    } else if (feffFilled) {
        ResFeff->clear();
        feffFilled = false;
    }
    ResFeff->setVisible(f);
}

void Demeter::fill(Area area)
{
    if (!shownJob)
        return;
    if (area == Area::Atoms && !atomsFilled) {
        fillUnrecorded(ResAtoms, atomsAreaText());
        atomsFilled = true;
    } else if (area == Area::Feff && !feffFilled) {
        fillUnrecorded(ResFeff, shownJob->feffText());
        feffFilled = true;
    }
}

void Demeter::appendTo(Area area, const QString &text)
{
    if (area == Area::Atoms && atomsFilled)
        appendAtEnd(ResAtoms, text);
    else if (area == Area::Feff && feffFilled)
        appendAtEnd(ResFeff, text);
}

QString Demeter::atomsAreaText() const
{
    const QVariant edit = shownRow.data(JobModel::AtomsEditRole);
    return edit.isValid() ? edit.toString() : shownJob->atomsText();
}

// What the user typed into the Atoms area stays with the row when the area goes.
void Demeter::keepAtomsEdit()
{
    if (!shownJob || !atomsFilled)
        return;
    const QString text = ResAtoms->toPlainText();
    if (text != atomsAreaText())
        setRowData(text, JobModel::AtomsEditRole);
}

void Demeter::setupFeffInpFile()
{
    if (shownJob)
        shownJob->writeFeffInp(atomsFilled ? ResAtoms->toPlainText() : atomsAreaText());
}

// The path field shows the row's number and the input's name, cut in the middle so that
// its beginning and its end both show; the whole path shows while the field has the focus
// (to select and copy it) and, with the working directory, in its tooltip.
bool Demeter::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == TargetName && event->type() == QEvent::Paint && shownJob
        && !TargetName->hasFocus()) {
        paintTargetName();
        return true;
    }
    return QFrame::eventFilter(watched, event);
}

void Demeter::paintTargetName()
{
    QPainter p(TargetName);
    QStyleOptionFrame panel;
    panel.initFrom(TargetName);
    panel.rect = TargetName->rect();
    panel.lineWidth
        = TargetName->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &panel, TargetName);
    panel.midLineWidth = 0;
    panel.state |= QStyle::State_Sunken | QStyle::State_ReadOnly;
    TargetName->style()->drawPrimitive(QStyle::PE_PanelLineEdit, &panel, &p, TargetName);
    // Inside the frame, the margin the line edit keeps around its text.
    QRect text = TargetName->style()
                     ->subElementRect(QStyle::SE_LineEditContents, &panel, TargetName)
                     .adjusted(2, 0, -2, 0);
    const QFontMetrics metrics = TargetName->fontMetrics();
    const QString number = shownRow.data(JobModel::NumberRole).toString() + QLatin1String("  ");
    p.setPen(TargetName->palette().color(QPalette::Disabled, QPalette::Text));
    p.drawText(text, Qt::AlignLeft | Qt::AlignVCenter, number);
    text.setLeft(text.left() + metrics.horizontalAdvance(number));
    p.setPen(TargetName->palette().color(QPalette::Text));
    p.drawText(text, Qt::AlignLeft | Qt::AlignVCenter,
        metrics.elidedText(shownJob->inputName(), Qt::ElideMiddle, text.width()));
}

void Demeter::showTargetToolTip()
{
    QString tip
        = tr("%1\nWorking folder: %2").arg(shownJob->inputPath(), shownJob->workingDirectory());
    const QString absorber = shownRow.data(JobModel::AbsorberRole).toString();
    if (!absorber.isEmpty())
        tip += QLatin1Char('\n') + tr("Absorber: %1").arg(absorber);
    TargetName->setToolTip(tip);
}
