#pragma once

#include <QModelIndex>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class Dialogs;
class EnlargedView;
class PreviewBox;
class QAbstractItemView;
class QLabel;
class QTimer;
class SettingsStore;

// The preview of the current entry of the browse list LV1 or the work list LV2, and the
// enlarged view opened by a click on the preview box. A click previews at once; a current entry
// moved by the keyboard is previewed once the pending key presses are handled, so only the
// last of a run of presses is decoded.
class PreviewController : public QObject
{
    Q_OBJECT
public:
    // How the controller reaches one list: its view, and the name and file of an entry.
    struct ListAccess
    {
        QAbstractItemView* view = nullptr;
        std::function<QString(const QModelIndex&)> nameOf;
        std::function<QString(const QModelIndex&)> pathOf;
    };

    // `label6` records the list of the last preview ("LV1" / "LV2"). The settings store and
    // the dialogs outlive the controller.
    PreviewController(SettingsStore* settings, Dialogs* dialogs, PreviewBox* box, QLabel* label6,
                      ListAccess lv1, ListAccess lv2, QObject* parent = nullptr);
    ~PreviewController() override;

    // Click on an entry of LV1 / LV2: clears the box, then previews when "Visu" is "1".
    void clicLV1();
    void clicLV2();
    // Click on the preview box: the enlarged view of the selected entries.
    void clicPicture2();

    void VisuLV1();
    void VisuLV2();

    // Form2, created at its first opening (null before).
    EnlargedView* enlargedView() const;

Q_SIGNALS:
    // The work list's current entry was followed from the keyboard, as a click would have.
    void lv2Followed();

private:
    bool previewOn() const;
    bool everyType() const;
    void follow(const ListAccess& list, const QModelIndex& current);
    // Loads the enlarged view's picture into its area; false (and closed) when it fails.
    bool showEnlarged();
    void visu(const ListAccess& list);
    void failed(const QString& description);

    SettingsStore* m_settings;
    Dialogs* m_dialogs;
    PreviewBox* m_box;
    QLabel* m_label6;
    ListAccess m_lv1;
    ListAccess m_lv2;
    QPointer<EnlargedView> m_form2;
    QString m_enlargedPath; // the picture the enlarged view shows
    QTimer* m_follow;
    const ListAccess* m_followed = nullptr;
};
