#pragma once

#include "convert/batchconversion.h"
#include "fileops/filestamp.h"
#include "imaging/status.h"

#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

class ConvertPanel;
class Dialogs;
class QWidget;
class SettingsStore;
class WorkList;
namespace convert {
class CodecSession;
}

// The conversion panel's behaviour: loading the first work-list file into the panel
// (ouvririmage), the size control, the single conversion SauverUni and the batch conversion
// SauverMulti. The panel, work list, settings, dialogs and codec session are owned by the
// caller and outlive the controller.
class ConversionController : public QObject
{
    Q_OBJECT
public:
    ConversionController(ConvertPanel* panel, const WorkList* workList, SettingsStore* settings,
                         Dialogs* dialogs, const convert::CodecSession* codecs,
                         QObject* parent = nullptr);

    // The steps of a finished conversion that belong to other panels. Each may be empty.
    struct FinishingSteps
    {
        // Re-reads the browse panel's folder and fills the browse list again.
        std::function<void()> refreshBrowseList;
        // Empties the work list completely: entries, view, marker "non" and count.
        std::function<void()> emptyWorkList;
        // Keeps only the work-list entries at `rows`, in their order (an interrupted batch).
        std::function<void(const std::vector<int>& rows)> keepWorkListRows;
    };
    void setFinishingSteps(FinishingSteps steps) { m_finish = std::move(steps); }

    // Called on the batch's worker after each conversion (BatchSettings::afterConversion).
    // Only tests set it.
    void setAfterEachConversion(std::function<void(int index)> hook)
    {
        m_afterEachConversion = std::move(hook);
    }

    // The window over which the batch's progress dialog shows.
    void setDialogParent(QWidget* parent) { m_dialogParent = parent; }

    QSize outputSize() const { return m_outputSize; }
    double aspectRatio() const { return m_aspectRatio; }
    // Results of the last batch run, in work-list order.
    const std::vector<convert::BatchResult>& lastBatch() const { return m_lastBatch; }

public Q_SLOTS:
    // The toolbar's conversion command: nothing for an empty work list, SauverUni for one
    // entry, SauverMulti for more.
    void conversion();
    // Loads the first work-list file into the panel (preview, size, output path); a file
    // that cannot be loaded shows the conversion failure message.
    void ouvririmage();
    void SauverUni();
    void SauverMulti();
    // The size control moved: the output width is `value`, the height follows the ratio.
    void HScrollTaille_Change(int value);

private:
    // Loads the first entry; with `full` the picture at natural size goes to `picture` (the
    // file stamped just before), otherwise only a preview is decoded. Status::Ok when the
    // entry could be loaded. The size control then reaches the picture's width at most.
    convert::Status load(bool full, QImage* picture);
    void finish(const QString& completion);
    // Runs the batch under the progress dialog; `cancelled` tells whether "Annuler" was used.
    std::vector<convert::BatchResult> runWithProgress(const QStringList& sources,
                                                      const convert::OutputFormat& target,
                                                      const convert::BatchSettings& settings,
                                                      bool* cancelled);
    // The end of a batch stopped by "Annuler": the tally, and the entries that failed or
    // were not started left in the work list.
    void finishInterrupted();
    // Asked when the Trash cannot take an original: true deletes it for good.
    bool askDeleteForGood(const QString& path, const QString& reason);

    ConvertPanel* m_panel;
    const WorkList* m_workList;
    SettingsStore* m_settings;
    Dialogs* m_dialogs;
    const convert::CodecSession* m_codecs;
    QWidget* m_dialogParent = nullptr;
    FinishingSteps m_finish;
    std::function<void(int index)> m_afterEachConversion;

    QString m_originalPath;
    QString m_basePath;
    std::optional<fileops::FileStamp> m_readStamp;
    double m_aspectRatio = 1.5;
    QSize m_outputSize;
    std::vector<convert::BatchResult> m_lastBatch;
};
